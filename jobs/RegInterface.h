#pragma once

// The job store: one registry value per job in the scan server's key, named
// by the job and holding its stored form. Shared with the server and the
// command line, which change it at any time; every read goes to the registry.

#include "Registry.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class CJob;
class COleDateTime;

// Key of the jobs below HKEY_LOCAL_MACHINE (string-table entry 139).
inline constexpr const char* kJobKeyPath = "Software\\Kestrow\\Rampart 8\\VexServ\\Jobs";
// Key of the starts the scan server stamped and has not launched yet: one
// value per job name, holding the stamp (i64 seconds since 1970 UTC).
inline constexpr const char* kUnlaunchedKeyPath =
    "Software\\Kestrow\\Rampart 8\\VexServ\\Unlaunched";

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

    // How a change of the store ended.
    enum class EChange {
        Written,   // stored
        Unchanged, // the change changed nothing, so nothing was written
        Gone,      // there is no such job (deleted meanwhile): nothing written
        Damaged,   // the stored value is no job: nothing written
        NameTaken, // another job has the name: nothing written
        Refused,   // the caller's change refused: nothing written
        Failed,    // the store could not be read or written (GetLastError())
    };
    using JobChangeFn = std::function<bool(CJob& job)>;

    // Adds a job under a name that is not taken yet; the test and the write
    // are one transaction, so two adds of one name never both succeed. The
    // new job starts without a result, log or reference list.
    virtual bool AddJob(CJob& job);
    // Writes the job under its name, replacing a value of that name. With
    // pszOldName (the name before an edit) differing from the job's name,
    // the old value is removed and the job's last result moves to the new
    // name in the same transaction, so a failed or killed write loses
    // nothing and leaves nothing behind. Writes over whatever is stored:
    // changes of a job read earlier go through ChangeJob. nHint is for the
    // views of the derived class.
    virtual bool WriteJob(CJob& job, int nHint, const char* pszOldName);
    // Changes the stored job pszName in one transaction, so that nothing
    // another program stores meanwhile is undone: job receives the job as
    // stored now, change makes its change to it (false refuses), and the job
    // is written back at once, under its new name when change renamed it
    // (its last result moving along). A job deleted meanwhile stays deleted
    // (Gone). change must not write to the store through another
    // connection: it runs while this one holds the write lock.
    virtual EChange ChangeJob(const char* pszName, CJob& job, const JobChangeFn& change);
    // Replaces the stored job of incoming's name by incoming in one
    // ChangeJob, so that the stored job's last start that PrepareIncoming
    // may keep is the one stored at that moment. Gone when no such job is
    // stored (any more): the caller may add it instead.
    EChange ReplaceJob(CJob& incoming, time_t now);
    // Deletes a job and its last result in one transaction, then its log and
    // reference list. With pExpected,
    // only while the job is stored exactly so (a cut must not delete a job
    // that changed after it was copied).
    virtual bool DeleteJob(const char* pszName, const std::vector<BYTE>* pExpected = nullptr);
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
    // StampStart for the scan server: the stamp and a record that its launch
    // is still to come are written together, so that a server that dies in
    // between leaves a trace (ReadUnlaunched) instead of a silent start.
    EWriteIf StampStartToLaunch(CJob& job, time_t t);
    // The start stamped by StampStartToLaunch was launched, or its outcome
    // recorded: its record goes.
    bool ClearUnlaunched(const char* pszName);
    // Every start whose record is still there: job name and stamp.
    bool ReadUnlaunched(std::vector<std::pair<std::string, std::int64_t>>& starts);

    // Switches a stored job on or off (ChangeJob); writes nothing when
    // nothing changes. False when the job is gone, damaged, or the store
    // failed.
    bool SetJobActive(const char* pszName, bool bActive);

    // Runs body in one read of the store: every ReadJob and NextJob inside
    // sees the same state, whatever others write meanwhile, so a list or an
    // export is one state of the store. False when that read cannot begin
    // (GetLastError()).
    bool ReadTogether(const std::function<void()>& body);

    // Shows a change that lies beside the job record (its last result) in
    // the views of the store; a store without views has nothing to do.
    virtual void ShowJobChanged(CJob&) {}

protected:
    // AddJob without the views and messages of a derived class: Written,
    // NameTaken or Failed.
    EChange InsertJob(CJob& job);
    // Inside a transaction: writes job (renaming pszOldName, moving its
    // result along).
    LONG StoreJob(const CJob& job, const char* pszOldName);
    // The results key over this store's connection, so that its changes
    // join the store's transactions; null while it does not exist.
    LONG ResultKey(HKEY& hResults);

    HKEY m_hKey = nullptr;
    HKEY m_hResults = nullptr;
    LONG m_nLastError = ERROR_SUCCESS;

private:
    // toLaunch: the instant of a start to launch, recorded with the stamp.
    EWriteIf StampWith(CJob& job, const std::function<void()>& stamp, time_t toLaunch = 0);
    // The key of kUnlaunchedKeyPath over this store's connection.
    LONG UnlaunchedKey(HKEY& hKey, bool bCreate);

    HKEY m_hUnlaunched = nullptr;
};
