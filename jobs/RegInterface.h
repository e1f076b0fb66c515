#pragma once

// The job store: one registry value per job in the scan server's key, named
// by the job and holding its stored form. Shared with the server and the
// command line, which change it at any time; every read goes to the registry.

#include "Registry.h"

class CJob;

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
    // Switches a stored job on or off; writes nothing when nothing changes.
    virtual bool SetJobActive(const char* pszName, bool bActive);

protected:
    HKEY m_hKey = nullptr;
};
