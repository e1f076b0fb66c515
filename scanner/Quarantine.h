#pragma once

#include "QuarantineRecord.h"

#include <cstdint>
#include <string>
#include <vector>

// One file in the quarantine.
struct CQuarantineEntry {
    std::string m_strId;   // what the user names it by: the unique part of its name
    std::string m_strFile; // its name in the quarantine folder
    bool m_bHasRecord = false;
    std::string m_strRecordError; // a record that exists but cannot be read
    CQuarantineRecord m_record;   // with m_bHasRecord
    std::uint64_t m_nSize = 0;    // of the file as it lies there
    std::int64_t m_nTime = 0;     // the record's time, else the file's modification
};

// What a restore did or why it did not.
enum class ERestore {
    kRestored,
    kExists, // the target is taken: nothing was overwritten, another name is needed
    kFailed, // error says why; the file stays in the quarantine
};

// The quarantine folder of a state root and the rules of what may be done
// with the files in it; vexscan, tempora and the window share them.
//
// A quarantined file "<unique>-<original name>" has its record beside it as
// ".<file name>.record". The scan writes the record before the move becomes
// final, so a killed scan leaves at most a record without its file, which is
// not listed and is removed once its writer no longer runs (the writer's
// process id is part of the unique name).
class CQuarantine {
public:
    explicit CQuarantine(std::string stateRoot);

    // A copy into the quarantine or out of it that is not complete yet.
    static constexpr const char* kPartialPrefix = ".vex-partial-";

    const std::string& Folder() const { return m_strFolder; }
    std::string AllowListPath() const;

    // Every file in the quarantine, by id. False with the reason when the
    // folder exists but cannot be read (a missing one holds nothing).
    bool List(std::vector<CQuarantineEntry>& entries, std::string& error) const;
    // The entry of an id (or of a file name); false with the reason.
    bool Find(const std::string& id, CQuarantineEntry& entry, std::string& error) const;

    // Puts the file back at to (absolute), or where the record says it was
    // when to is empty, with the recorded mode (and owner, when run as root).
    // Never replaces an existing file, and opens the target's folder one
    // component at a time, following no symbolic link of another user. The
    // restore is logged in the job's scan log. restored receives the path.
    ERestore Restore(const CQuarantineEntry& entry, const std::string& to, std::string& restored,
                     std::string& error) const;
    // Restores and adds the file's SHA-256 to the allow-list, so that later
    // scans no longer report that content.
    ERestore RestoreAndAllow(const CQuarantineEntry& entry, const std::string& to,
                             std::string& restored, std::string& error) const;
    // Removes the file and its record for good.
    bool Delete(const CQuarantineEntry& entry, std::string& error) const;
    // Deletes every entry older than days before now (seconds since 1970);
    // returns how many went, error names the first failure.
    int Purge(int days, std::int64_t now, std::string& error) const;

    // The name of the record of a quarantined file.
    static std::string RecordName(const std::string& file);
    // Writes record for the file that is about to be moved to file in the
    // quarantine folder qfd, durably. False with the reason.
    static bool WriteRecord(int qfd, const std::string& file, const CQuarantineRecord& record,
                            std::string& error);
    // Removes what killed scans left in the open quarantine folder qfd:
    // unfinished copies, records whose file never arrived and half-written
    // records, once their writer is gone; and takes every right but the
    // owner's read and write from the files.
    static void Tidy(int qfd);

private:
    int OpenFolder(std::string& error) const;
    ERestore MoveBack(int qfd, const CQuarantineEntry& entry, const std::string& target,
                      std::string& error) const;
    void LogRestore(const CQuarantineEntry& entry, const std::string& target) const;

    std::string m_strRoot;
    std::string m_strFolder;
};
