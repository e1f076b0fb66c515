#include "RegInterface.h"

#include "Job.h"
#include "JobResult.h"
#include "ScanPaths.h"
#include "StatePaths.h"
#include "StoreDocument.h"

#include <cstring>
#include <vector>

namespace {

// No job's stored form comes near this (names and folders are at most 259
// bytes); larger values are not jobs and are never loaded.
constexpr DWORD kMaxJobSize = 64 * 1024;
constexpr DWORD kFirstReadSize = 4096;

// Reads a value through read(buffer, &size) and loads it into pJob. The value
// may change between calls (the server writes the same key), so a grown value
// is read again a few times; a vanished one is simply absent.
template <class ReadFn> LONG ReadAndLoad(ReadFn read, CJob* pJob, bool& bLoaded) {
    bLoaded = false;
    std::vector<BYTE> buf(kFirstReadSize);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(buf.size());
        const LONG result = read(buf.data(), &size);
        if (result == ERROR_SUCCESS) {
            bLoaded = pJob->Load(buf.data(), size);
            return ERROR_SUCCESS;
        }
        if (result != ERROR_MORE_DATA)
            return result;
        if (size > kMaxJobSize)
            return ERROR_SUCCESS; // present, but not a job
        buf.resize(size);
    }
    return ERROR_MORE_DATA;
}

} // namespace

CRegInterface::~CRegInterface() {
    Close();
}

bool CRegInterface::Open(const char* pszKey) {
    Close();
    m_nLastError = RegOpenKeyEx(HKEY_LOCAL_MACHINE, pszKey, &m_hKey);
    if (m_nLastError != ERROR_SUCCESS)
        m_hKey = nullptr;
    return m_hKey != nullptr;
}

void CRegInterface::Close() {
    if (m_hKey)
        RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

bool CRegInterface::AddJob(CJob& job) {
    if (ReadJob(job.GetName(), nullptr))
        return false;
    // A new job has never run, whatever a former job of its name left.
    DeleteJobResult(job.GetName());
    return WriteJob(job, kHintJobAdded, nullptr);
}

bool CRegInterface::WriteJob(CJob& job, int /*nHint*/, const char* pszOldName) {
    // A job that nothing could show, run or delete by name is not stored.
    if (!m_hKey || job.CheckStorable() != CJob::EFault::None)
        return false;
    const std::vector<BYTE> data = job.Store();
    const char* pszName = job.GetName();
    const auto size = static_cast<DWORD>(data.size());
    LONG result;
    if (pszOldName && std::strcmp(pszOldName, pszName) != 0)
        result = RegReplaceValue(m_hKey, pszOldName, pszName, REG_BINARY, data.data(), size);
    else
        result = RegSetValueEx(m_hKey, pszName, REG_BINARY, data.data(), size);
    if (result != ERROR_SUCCESS)
        return false;
    RegFlushKey(m_hKey);
    // The last result, the log and the reference list belong to the job,
    // whatever it is called. The job is safe by now; what cannot follow only
    // leaves the column or the log empty.
    if (pszOldName && std::strcmp(pszOldName, pszName) != 0) {
        MoveJobResult(pszOldName, pszName);
        MoveJobFiles(StateRoot(), pszOldName, pszName);
    }
    return true;
}

bool CRegInterface::WriteEditedJob(CJob& job, int nHint, const char* pszOldName,
                                   bool bKeepStoredStart) {
    if (!m_hKey)
        return false;
    if (!bKeepStoredStart || !pszOldName)
        return CRegInterface::WriteJob(job, nHint, pszOldName);
    const LONG result =
        RegRewriteValue(m_hKey, pszOldName, job.GetName(), REG_BINARY,
                        [&job](DWORD, const BYTE* pData, DWORD cbData, std::vector<BYTE>& newData) {
                            CJob stored;
                            if (!stored.Load(pData, cbData))
                                return LONG(ERROR_FILE_NOT_FOUND);
                            job.CopyLastStart(stored);
                            newData = job.Store();
                            return LONG(ERROR_SUCCESS);
                        });
    if (result == ERROR_FILE_NOT_FOUND)
        return CRegInterface::WriteJob(job, nHint, pszOldName);
    if (result != ERROR_SUCCESS)
        return false;
    RegFlushKey(m_hKey);
    return true;
}

bool CRegInterface::DeleteJob(const char* pszName) {
    if (!m_hKey || !pszName || RegDeleteValue(m_hKey, pszName) != ERROR_SUCCESS)
        return false;
    RegFlushKey(m_hKey);
    DeleteJobResult(pszName);
    return true;
}

bool CRegInterface::ReadJob(const char* pszName, CJob* pJob) {
    if (!m_hKey || !pszName) {
        m_nLastError = m_hKey ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
        return false;
    }
    if (!pJob) {
        DWORD size = 0;
        m_nLastError = RegQueryValueEx(m_hKey, pszName, nullptr, nullptr, &size);
        return m_nLastError == ERROR_SUCCESS;
    }
    bool bLoaded = false;
    const LONG result = m_nLastError = ReadAndLoad(
        [&](BYTE* pData, DWORD* pcbData) {
            return RegQueryValueEx(m_hKey, pszName, nullptr, pData, pcbData);
        },
        pJob, bLoaded);
    return result == ERROR_SUCCESS && bLoaded;
}

bool CRegInterface::EnumJob(DWORD* pIndex, CJob* pJob) {
    return NextJob(pIndex, pJob) == EEnum::Job;
}

namespace {

// The name of the value at index, for telling which one was passed over.
std::string ValueNameAt(HKEY hKey, DWORD index) {
    std::vector<char> name(REG_MAX_VALUE_NAME + 1);
    auto length = static_cast<DWORD>(name.size());
    if (RegEnumValue(hKey, index, name.data(), &length, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return std::string();
    return std::string(name.data(), length);
}

} // namespace

CRegInterface::EEnum CRegInterface::NextJob(DWORD* pIndex, CJob* pJob,
                                            std::vector<std::string>* pSkipped) {
    if (!m_hKey || !pIndex || !pJob) {
        m_nLastError = ERROR_INVALID_HANDLE;
        return EEnum::Failed;
    }
    // Each index is one read, so a value cannot change between learning its
    // size and reading it. The value names are not needed: a job carries its
    // name in its stored form.
    for (DWORD index = *pIndex; index != ~DWORD(0); ++index) {
        bool bLoaded = false;
        const LONG result = ReadAndLoad(
            [&](BYTE* pData, DWORD* pcbData) {
                return RegEnumValue(m_hKey, index, nullptr, nullptr, nullptr, pData, pcbData);
            },
            pJob, bLoaded);
        if (result == ERROR_NO_MORE_ITEMS)
            return EEnum::End;
        if (result != ERROR_SUCCESS) {
            m_nLastError = result;
            return EEnum::Failed;
        }
        if (bLoaded) {
            *pIndex = index + 1;
            return EEnum::Job;
        }
        if (pSkipped)
            pSkipped->push_back(ValueNameAt(m_hKey, index));
    }
    return EEnum::End;
}

CRegInterface::EWriteIf CRegInterface::WriteJobIf(const std::vector<BYTE>& expected, CJob& job) {
    if (!m_hKey)
        return EWriteIf::Failed;
    const std::vector<BYTE> data = job.Store();
    const LONG result = RegUpdateValue(
        m_hKey, job.GetName(),
        [&](DWORD, const BYTE* pData, DWORD cbData, std::vector<BYTE>& newData) -> LONG {
            // Compared in the stored form the program writes, so bytes that
            // loading ignores make no difference.
            CJob stored;
            if (cbData > kMaxJobSize || !stored.Load(pData, cbData) || stored.Store() != expected)
                return ERROR_REVISION_MISMATCH;
            newData = data;
            return ERROR_SUCCESS;
        });
    if (result == ERROR_SUCCESS)
        return EWriteIf::Written;
    if (result == ERROR_REVISION_MISMATCH || result == ERROR_FILE_NOT_FOUND)
        return EWriteIf::Changed;
    return EWriteIf::Failed;
}

CRegInterface::EWriteIf CRegInterface::StampStart(CJob& job, const COleDateTime& t) {
    return StampWith(job, [&] { job.SetLastStart(t, true); });
}

CRegInterface::EWriteIf CRegInterface::StampStart(CJob& job, time_t t) {
    return StampWith(job, [&] { job.SetLastStartAt(t, true); });
}

CRegInterface::EWriteIf CRegInterface::StampWith(CJob& job, const std::function<void()>& stamp) {
    const std::vector<BYTE> read = job.Store();
    stamp();
    const EWriteIf result = WriteJobIf(read, job);
    if (result != EWriteIf::Written)
        job.Load(read.data(), read.size());
    return result;
}

bool CRegInterface::SetJobActive(const char* pszName, bool bActive) {
    CJob job;
    if (!ReadJob(pszName, &job))
        return false;
    if (job.IsActive() == bActive)
        return true;
    job.SetActive(bActive);
    return WriteJob(job, kHintJobChanged, nullptr);
}
