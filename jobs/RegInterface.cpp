#include "RegInterface.h"

#include "Job.h"
#include "JobResult.h"
#include "RegistryDb.h"
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
    if (m_hUnlaunched)
        RegCloseKey(m_hUnlaunched);
    m_hUnlaunched = nullptr;
    if (m_hResults)
        RegCloseKey(m_hResults);
    m_hResults = nullptr;
    if (m_hKey)
        RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

LONG CRegInterface::ResultKey(HKEY& hResults) {
    if (!m_hResults) {
        const LONG result = RegOpenKeyShared(m_hKey, kResultKeyPath, false, &m_hResults);
        if (result != ERROR_SUCCESS) {
            m_hResults = nullptr;
            if (result != ERROR_FILE_NOT_FOUND)
                return result;
        }
    }
    hResults = m_hResults;
    return ERROR_SUCCESS;
}

LONG CRegInterface::StoreJob(const CJob& job, const char* pszOldName) {
    // A job that nothing could show, run or delete by name is not stored.
    if (job.CheckStorable() != CJob::EFault::None)
        return ERROR_INVALID_PARAMETER;
    const std::vector<BYTE> data = job.Store();
    const char* pszName = job.GetName();
    const auto size = static_cast<DWORD>(data.size());
    const bool bRenamed = pszOldName && std::strcmp(pszOldName, pszName) != 0;
    LONG result = bRenamed
                      ? RegReplaceValue(m_hKey, pszOldName, pszName, REG_BINARY, data.data(), size)
                      : RegSetValueEx(m_hKey, pszName, REG_BINARY, data.data(), size);
    if (result != ERROR_SUCCESS || !bRenamed)
        return result;
    // The last result belongs to the job, whatever it is called.
    HKEY hResults = nullptr;
    result = ResultKey(hResults);
    return result == ERROR_SUCCESS ? MoveJobResultIn(hResults, pszOldName, pszName) : result;
}

CRegInterface::EChange CRegInterface::InsertJob(CJob& job) {
    if (!m_hKey) {
        m_nLastError = ERROR_INVALID_HANDLE;
        return EChange::Failed;
    }
    EChange outcome = EChange::Failed;
    m_nLastError = RegTransaction(m_hKey, [&]() -> LONG {
        DWORD size = 0;
        LONG result = RegQueryValueEx(m_hKey, job.GetName(), nullptr, nullptr, &size);
        if (result == ERROR_SUCCESS) {
            outcome = EChange::NameTaken;
            return ERROR_REVISION_MISMATCH;
        }
        if (result != ERROR_FILE_NOT_FOUND)
            return result;
        // A new job has never run, whatever a former job of its name left.
        HKEY hResults = nullptr;
        result = ResultKey(hResults);
        if (result == ERROR_SUCCESS)
            result = DeleteJobResultIn(hResults, job.GetName());
        return result == ERROR_SUCCESS ? StoreJob(job, nullptr) : result;
    });
    if (outcome == EChange::NameTaken)
        return outcome;
    if (m_nLastError != ERROR_SUCCESS)
        return EChange::Failed;
    // Nor does it inherit a log or references a former job of its name left.
    RemoveJobFiles(StateRoot(), job.GetName());
    return EChange::Written;
}

bool CRegInterface::AddJob(CJob& job) {
    return InsertJob(job) == EChange::Written;
}

bool CRegInterface::WriteJob(CJob& job, int /*nHint*/, const char* pszOldName) {
    if (!m_hKey) {
        m_nLastError = ERROR_INVALID_HANDLE;
        return false;
    }
    m_nLastError = RegTransaction(m_hKey, [&] { return StoreJob(job, pszOldName); });
    if (m_nLastError != ERROR_SUCCESS)
        return false;
    // The log and the reference list follow the job once it is safe; what
    // cannot follow only leaves the log empty.
    if (pszOldName && std::strcmp(pszOldName, job.GetName()) != 0)
        MoveJobFiles(StateRoot(), pszOldName, job.GetName());
    return true;
}

CRegInterface::EChange CRegInterface::ChangeJob(const char* pszName, CJob& job,
                                                const JobChangeFn& change) {
    if (!m_hKey || !pszName) {
        m_nLastError = m_hKey ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE;
        return EChange::Failed;
    }
    EChange outcome = EChange::Failed;
    std::string oldName;
    m_nLastError = RegTransaction(m_hKey, [&]() -> LONG {
        bool bLoaded = false;
        LONG result = ReadAndLoad(
            [&](BYTE* pData, DWORD* pcbData) {
                return RegQueryValueEx(m_hKey, pszName, nullptr, pData, pcbData);
            },
            &job, bLoaded);
        if (result == ERROR_FILE_NOT_FOUND)
            outcome = EChange::Gone;
        else if (result == ERROR_SUCCESS && !bLoaded)
            outcome = EChange::Damaged;
        if (result != ERROR_SUCCESS || !bLoaded)
            return result != ERROR_SUCCESS ? result : ERROR_REVISION_MISMATCH;
        oldName = job.GetName();
        const std::vector<BYTE> before = job.Store();
        if (!change(job)) {
            outcome = EChange::Refused;
            return ERROR_REVISION_MISMATCH;
        }
        if (oldName == job.GetName() && job.Store() == before) {
            outcome = EChange::Unchanged;
            return ERROR_SUCCESS;
        }
        // Another job answering to the new name; the job's own name in
        // another case does not count (names compare folded).
        if (CRegistryDb::FoldName(job.GetName()) != CRegistryDb::FoldName(oldName.c_str())) {
            DWORD size = 0;
            result = RegQueryValueEx(m_hKey, job.GetName(), nullptr, nullptr, &size);
            if (result == ERROR_SUCCESS) {
                outcome = EChange::NameTaken;
                return ERROR_REVISION_MISMATCH;
            }
            if (result != ERROR_FILE_NOT_FOUND)
                return result;
        }
        outcome = EChange::Written;
        // Renamed (a change of case included): the value found goes.
        return StoreJob(job, oldName == job.GetName() ? nullptr : pszName);
    });
    if (outcome == EChange::Written && m_nLastError != ERROR_SUCCESS)
        outcome = EChange::Failed;
    if (outcome == EChange::Damaged)
        m_nLastError = ERROR_SUCCESS; // there, but no job: as ReadJob tells it
    if (outcome == EChange::Written && oldName != job.GetName())
        MoveJobFiles(StateRoot(), oldName, job.GetName());
    return outcome;
}

CRegInterface::EChange CRegInterface::ReplaceJob(CJob& incoming, time_t now) {
    CJob stored;
    stored.SetRowIndex(incoming.GetRowIndex());
    return ChangeJob(incoming.GetName(), stored, [&](CJob& current) {
        incoming.PrepareIncoming(&current, now);
        const std::vector<BYTE> bytes = incoming.Store();
        return current.Load(bytes.data(), bytes.size());
    });
}

bool CRegInterface::DeleteJob(const char* pszName, const std::vector<BYTE>* pExpected) {
    if (!m_hKey || !pszName) {
        m_nLastError = m_hKey ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
        return false;
    }
    // The files are named after the job as stored, whatever case pszName has.
    std::string storedName = pszName;
    m_nLastError = RegTransaction(m_hKey, [&]() -> LONG {
        CJob stored;
        const bool bLoaded = ReadJob(pszName, &stored);
        if (pExpected) {
            if (!bLoaded)
                return m_nLastError == ERROR_SUCCESS ? ERROR_BADDB : m_nLastError;
            if (stored.Store() != *pExpected)
                return ERROR_REVISION_MISMATCH;
        }
        if (bLoaded)
            storedName = stored.GetName();
        LONG result = RegDeleteValue(m_hKey, pszName);
        HKEY hResults = nullptr;
        if (result == ERROR_SUCCESS)
            result = ResultKey(hResults);
        return result == ERROR_SUCCESS ? DeleteJobResultIn(hResults, pszName) : result;
    });
    if (m_nLastError != ERROR_SUCCESS)
        return false;
    // Its log and references go with it: a new job of the name starts afresh.
    RemoveJobFiles(StateRoot(), storedName);
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
    m_nLastError = result;
    return EWriteIf::Failed;
}

CRegInterface::EWriteIf CRegInterface::StampStart(CJob& job, const COleDateTime& t) {
    return StampWith(job, [&] { job.SetLastStart(t, true); });
}

CRegInterface::EWriteIf CRegInterface::StampStart(CJob& job, time_t t) {
    return StampWith(job, [&] { job.SetLastStartAt(t, true); });
}

CRegInterface::EWriteIf CRegInterface::StampStartToLaunch(CJob& job, time_t t) {
    return StampWith(
        job, [&] { job.SetLastStartAt(t, true); }, t);
}

CRegInterface::EWriteIf CRegInterface::StampWith(CJob& job, const std::function<void()>& stamp,
                                                 time_t toLaunch) {
    const std::vector<BYTE> read = job.Store();
    stamp();
    EWriteIf result = EWriteIf::Failed;
    if (toLaunch == 0) {
        result = WriteJobIf(read, job);
    } else {
        const LONG status = RegTransaction(m_hKey, [&]() -> LONG {
            result = WriteJobIf(read, job);
            if (result != EWriteIf::Written)
                return ERROR_REVISION_MISMATCH;
            HKEY hKey = nullptr;
            const LONG opened = UnlaunchedKey(hKey, true);
            if (opened != ERROR_SUCCESS)
                return opened;
            BYTE data[8];
            const auto stamped = static_cast<std::uint64_t>(toLaunch);
            for (int i = 0; i < 8; ++i)
                data[i] = static_cast<BYTE>(stamped >> (8 * i));
            return RegSetValueEx(hKey, job.GetName(), REG_BINARY, data, sizeof data);
        });
        if (result == EWriteIf::Written && status != ERROR_SUCCESS)
            result = EWriteIf::Failed;
    }
    if (result != EWriteIf::Written)
        job.Load(read.data(), read.size());
    return result;
}

LONG CRegInterface::UnlaunchedKey(HKEY& hKey, bool bCreate) {
    hKey = nullptr;
    if (!m_hUnlaunched) {
        const LONG result = RegOpenKeyShared(m_hKey, kUnlaunchedKeyPath, bCreate, &m_hUnlaunched);
        if (result != ERROR_SUCCESS) {
            m_hUnlaunched = nullptr;
            return result;
        }
    }
    hKey = m_hUnlaunched;
    return ERROR_SUCCESS;
}

bool CRegInterface::ClearUnlaunched(const char* pszName) {
    HKEY hKey = nullptr;
    const LONG result = UnlaunchedKey(hKey, false);
    if (result == ERROR_FILE_NOT_FOUND)
        return true;
    if (result != ERROR_SUCCESS)
        return false;
    const LONG removed = RegDeleteValue(hKey, pszName);
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

bool CRegInterface::ReadUnlaunched(std::vector<std::pair<std::string, std::int64_t>>& starts) {
    starts.clear();
    HKEY hKey = nullptr;
    LONG result = UnlaunchedKey(hKey, false);
    if (result == ERROR_FILE_NOT_FOUND)
        return true;
    for (DWORD index = 0; result == ERROR_SUCCESS; ++index) {
        char name[REG_MAX_VALUE_NAME + 1];
        DWORD length = sizeof name;
        BYTE data[8] = {};
        DWORD size = sizeof data;
        result = RegEnumValue(hKey, index, name, &length, nullptr, data, &size);
        if (result == ERROR_MORE_DATA) {
            result = ERROR_SUCCESS; // not a stamp: counts as one from long ago
            size = 0;
        }
        if (result != ERROR_SUCCESS)
            break;
        std::uint64_t stamp = 0;
        for (DWORD i = 0; i < 8 && size == 8; ++i)
            stamp |= static_cast<std::uint64_t>(data[i]) << (8 * i);
        starts.emplace_back(std::string(name, length), static_cast<std::int64_t>(stamp));
    }
    return result == ERROR_NO_MORE_ITEMS;
}

bool CRegInterface::SetJobActive(const char* pszName, bool bActive) {
    CJob job;
    const EChange result = ChangeJob(pszName, job, [bActive](CJob& stored) {
        // A job whose schedule is incomplete counts as off whatever its switch.
        if (stored.IsActive() != bActive)
            stored.SetActive(bActive);
        return true;
    });
    return result == EChange::Written || result == EChange::Unchanged;
}

bool CRegInterface::ReadTogether(const std::function<void()>& body) {
    if (!m_hKey) {
        m_nLastError = ERROR_INVALID_HANDLE;
        return false;
    }
    const LONG result = RegReadTransaction(m_hKey, [&] {
        body();
        return LONG(ERROR_SUCCESS);
    });
    if (result != ERROR_SUCCESS)
        m_nLastError = result;
    return result == ERROR_SUCCESS;
}
