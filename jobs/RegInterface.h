#pragma once

// The job store: one registry value per job in the scan server's key, named
// by the job and holding its stored form. Shared with the server and the
// command line, which change it at any time; every read goes to the registry.

#include "Registry.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

class CJob;
class COleDateTime;

// Key of the jobs below HKEY_LOCAL_MACHINE (string-table entry 139).
inline constexpr const char* kJobKeyPath = "Software\\Kestrow\\Rampart 8\\VexServ\\Jobs";

class CRegInterface {
public:
    CRegInterface() = default;
    virtual ~CRegInterface();
    CRegInterface(const CRegInterface&) = delete;
    CRegInterface& operator=(const CRegInterface&) = delete;

    // Opens an existing key below HKEY_LOCAL_MACHINE; never creates it.
    bool Open(const char* pszKey);
    void Close();
    bool IsOpen() const { return m_hKey != nullptr; }

    // Adds a job under a name that is not taken yet.
    virtual bool AddJob(CJob& job);
    // Writes the job under its name, replacing a value of that name. With
    // pszOldName (the name before an edit) differing from the job's name,
    // the old value is removed in the same transaction, so a failed write
    // loses nothing. nHint is for the views of the derived class.
    virtual bool WriteJob(CJob& job, int nHint, const char* pszOldName);
    // WriteJob for an edit made on a copy read earlier: with bKeepStoredStart
    // the job first takes the last start that the stored job pszOldName
    // holds at the moment of writing, read and written in one transaction,
    // so that a start the server made meanwhile is not undone. A stored job
    // that is gone or does not load is written as WriteJob would.
    virtual bool WriteEditedJob(CJob& job, int nHint, const char* pszOldName,
                                bool bKeepStoredStart);
    virtual bool DeleteJob(const char* pszName);
    // True when a value of that name exists and, with pJob, loads as a job.
    // With pJob null it only tests existence (a damaged value counts).
    virtual bool ReadJob(const char* pszName, CJob* pJob);
    // Loads the first job at or after index *pIndex and sets *pIndex just
    // past it; values that do not load as a job are passed over (and left
    // alone). False when no job follows; *pIndex then stays. Start at 0 and
    // call until false.
    virtual bool EnumJob(DWORD* pIndex, CJob* pJob);

    // How one step of NextJob ended.
    enum class EEnum { Job, End, Failed };
    // EnumJob for callers that must see every job: the end of the jobs and a
    // store that cannot be read (a damaged file, a lock held too long) are
    // told apart. Failed leaves *pIndex alone; GetLastError() says why.
    // Values that do not load as a job are passed over as in EnumJob, and
    // their names appended to pSkipped when given.
    EEnum NextJob(DWORD* pIndex, CJob* pJob, std::vector<std::string>* pSkipped = nullptr);
    // The registry's result of the last Open, ReadJob or failed NextJob:
    // after a false ReadJob, ERROR_FILE_NOT_FOUND means there is no such job,
    // anything else that the store could not be read.
    LONG GetLastError() const { return m_nLastError; }
    // Outcome of a conditional write.
    enum class EWriteIf { Written, Changed, Failed };
    // Writes job under its name only when the job stored there still has
    // the stored form expected (the job as the caller read it), checked and
    // written in one transaction: Changed, writing nothing, when it was
    // deleted, switched or edited meanwhile; Failed when the store cannot
    // be written.
    virtual EWriteIf WriteJobIf(const std::vector<BYTE>& expected, CJob& job);
    // A start of job, as read from the store, stamped at t: the last start
    // is written only when the stored job is still the one read (see
    // WriteJobIf). Unless Written, job keeps its earlier last start, and the
    // caller must not start the scan.
    EWriteIf StampStart(CJob& job, const COleDateTime& t);
    // The same for an instant, which also marks a start in the second pass
    // of a repeated hour.
    EWriteIf StampStart(CJob& job, time_t t);

    // Switches a stored job on or off; writes nothing when nothing changes.
    virtual bool SetJobActive(const char* pszName, bool bActive);

    // Shows a change that lies beside the job record (its last result) in
    // the views of the store; a store without views has nothing to do.
    virtual void ShowJobChanged(CJob&) {}

protected:
    HKEY m_hKey = nullptr;

private:
    EWriteIf StampWith(CJob& job, const std::function<void()>& stamp);

protected:
    LONG m_nLastError = ERROR_SUCCESS;
};
