#pragma once

// What `tempora add` and `tempora edit` were told to set on a job: every
// field is set only when its option was given, so an edit changes what was
// asked for and nothing else.

#include "OleDateTime.h"
#include "Period.h"
#include "ScanParameter.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

class CJob;

struct CJobChanges {
    std::unique_ptr<CPeriod> pPeriod;             // a new schedule
    std::optional<std::array<int, 7>> days;       // --days, Monday ... Sunday flags
    std::optional<int> idleMinutes;               // --idle; 0 for --no-idle
    std::optional<std::string> directory;         // --dir, made absolute
    std::optional<std::string> relativeDirectory; // --dir as given, when it was relative
    std::optional<bool> subdirectories;           // --subdirs / --no-subdirs
    std::optional<bool> allFiles;                 // --all-files / --program-files
    std::optional<bool> heuristic;                // --heuristic / --no-heuristic
    std::optional<bool> referenceCheck;           // --reference-check / --no-reference-check
    std::optional<bool> background;               // --background / --foreground
    std::optional<DWORD> endMode;                 // --end
    std::optional<DWORD> infectionAction;         // --on-infection
    std::optional<DWORD> referenceDiffAction;     // --on-reference-diff
    std::optional<DWORD> logMode;                 // --log
    std::optional<bool> active;                   // --active / --inactive
    std::optional<std::string> newName;           // --rename
    bool bAllowMissing = false;                   // --allow-missing
};

// Sets the given scan options on scan. False with the reason in strError
// when the result contradicts itself (a background scanner that does not
// exit when done).
bool ApplyScanChanges(const CJobChanges& changes, CScanParameter& scan, std::string& strError);

// Applies every given change to job. A new schedule counts from now, as the
// window's schedule dialog makes it, and keeps the stored idle setting unless
// --idle or --no-idle was given; without a new schedule the last start
// stays. False with the reason in strError, job then half changed (the
// caller writes nothing).
bool ApplyJobChanges(const CJobChanges& changes, CJob& job, const COleDateTime& now,
                     std::string& strError);
