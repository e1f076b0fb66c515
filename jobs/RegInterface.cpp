#include "RegInterface.h"

#include "Job.h"
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
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, pszKey, &m_hKey) != ERROR_SUCCESS)
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
    return WriteJob(job, kHintJobAdded, nullptr);
}

bool CRegInterface::WriteJob(CJob& job, int /*nHint*/, const char* pszOldName) {
    if (!m_hKey)
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
    return true;
}

bool CRegInterface::ReadJob(const char* pszName, CJob* pJob) {
    if (!m_hKey || !pszName)
        return false;
    if (!pJob) {
        DWORD size = 0;
        return RegQueryValueEx(m_hKey, pszName, nullptr, nullptr, &size) == ERROR_SUCCESS;
    }
    bool bLoaded = false;
    const LONG result = ReadAndLoad(
        [&](BYTE* pData, DWORD* pcbData) {
            return RegQueryValueEx(m_hKey, pszName, nullptr, pData, pcbData);
        },
        pJob, bLoaded);
    return result == ERROR_SUCCESS && bLoaded;
}

bool CRegInterface::EnumJob(DWORD* pIndex, CJob* pJob) {
    if (!m_hKey || !pIndex || !pJob)
        return false;
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
        if (result == ERROR_NO_MORE_ITEMS || (result != ERROR_SUCCESS && result != ERROR_MORE_DATA))
            return false;
        if (bLoaded) {
            *pIndex = index + 1;
            return true;
        }
    }
    return false;
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
