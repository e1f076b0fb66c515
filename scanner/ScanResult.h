#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>

// What a scan reports, apart from the scanner itself, so that a window can
// watch a scan without linking the engine.

// Counts of one scan; ExitCode() is the scanner's exit code.
struct CScanResult {
    size_t m_nFiles = 0;      // files examined
    size_t m_nInfected = 0;   // files with a signature's finding
    size_t m_nSuspicious = 0; // files with a heuristic alert only
    size_t m_nChanged = 0;    // files that differ from their reference
    size_t m_nErrors = 0;     // files or folders that could not be examined or acted on
    size_t m_nSkipped = 0;    // not program files, and the job asks for those only
    size_t m_nUnchanged = 0;  // of m_nFiles, known clean and unchanged: not read
    size_t m_nUnchecked = 0;  // of m_nFiles, not checked for want of signatures
    // Mount points of network file systems and of the automounter not entered.
    size_t m_nSkippedMounts = 0;
    bool m_bStopped = false;
    bool m_bStoppedByUser = false;
    int m_nSignal = 0;            // the signal that ended the scan early, if one did
    bool m_bNoSignatures = false; // the signatures could not be loaded: nothing is known clean
    bool m_bFatal = false;        // the scan could not be carried out at all
    // The signature folder as the scan began: without any database, or with
    // the newest this many days old when that is stale (else 0).
    bool m_bSignaturesMissing = false;
    long long m_nStaleSignatureDays = 0;
    // Why the scan failed, or why its signatures could not be loaded.
    std::string m_strFailure{};
    // Files examined with the signatures (or known clean from before).
    size_t Checked() const { return m_nFiles - std::min(m_nUnchecked, m_nFiles); }
    int ExitCode() const;
    std::string Text(const std::string& jobName, const std::string& dir) const;
};

// A finding as a user sees it: the file, what was found (a signature, a
// change or the reason of an error) and what was done about it.
struct CScanFinding {
    std::string m_strPath;
    std::string m_strWhat;
    std::string m_strAction;
};

// Watches a running scan, for a window. Calls come from the scan's threads,
// one at a time, in the order of the walk.
class IScanProgress {
public:
    virtual ~IScanProgress() = default;
    // The walk has found filesFound files so far; walkDone once it has ended.
    virtual void OnWalk(size_t filesFound, bool walkDone) = 0;
    // A file has been dealt with; counts are the totals so far.
    virtual void OnFile(const std::string& path, size_t filesDone, const CScanResult& counts) = 0;
    virtual void OnFinding(const CScanFinding& finding) = 0;
};

// A scan as a window drives it: run it (on the window's scan thread) with a
// watcher, and stop it early from any thread.
struct CScanTask {
    std::function<CScanResult(IScanProgress* progress)> m_run;
    std::function<void()> m_stop;
};
