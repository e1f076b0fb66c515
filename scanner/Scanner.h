#pragma once

#include "CommandFile.h"
#include "ReferenceList.h"
#include "ScanLog.h"
#include "ScanPaths.h"

#include <cstddef>
#include <functional>
#include <set>
#include <string>

// Counts of one scan; ExitCode() is the scanner's exit code.
struct CScanResult {
    size_t m_nFiles = 0;    // files examined
    size_t m_nInfected = 0; // files holding the test string
    size_t m_nChanged = 0;  // files that differ from their reference
    size_t m_nErrors = 0;   // files or folders that could not be examined or acted on
    bool m_bStopped = false;
    bool m_bFatal = false; // the scan could not be carried out at all
    int ExitCode() const;
    std::string Text(const std::string& jobName, const std::string& dir) const;
};

// One scan of a job's folder as its command file asks: walks the tree without
// following symbolic links and without entering /proc, /sys or /dev, looks for
// the test string, acts on findings, compares with the reference list and
// writes the log.
class CScanner {
public:
    CScanner(const CScanCommand& cmd, const CScanPaths& paths);
    CScanResult Run();

    // Messages for the user (errors); stderr unless replaced.
    std::function<void(const std::string&)> m_report;

private:
    struct Entry; // a file being examined
    void WalkDirectory(int dirfd, const std::string& path, int depth);
    void ExamineFile(int dirfd, const std::string& dirPath, const std::string& name);
    bool Wanted(const Entry& e) const;
    bool IsInfected(const Entry& e) const;
    void ActOnInfection(int dirfd, Entry& e);
    void ActionFailed(Entry& e, const std::string& message);
    void CheckReference(Entry& e);
    void FinishReferences();
    void Fail(const std::string& path, const std::string& message);
    static bool IsForbiddenTree(const std::string& path, int fd);

    CScanCommand m_cmd;
    CScanPaths m_paths;
    std::string m_strQuarantine; // its real path, when it exists: never scanned
    CScanLog m_log;
    CReferenceList m_oldRefs;
    CReferenceList m_newRefs;
    bool m_bHaveRefs = false;   // a reference list existed before this scan
    bool m_bRefsUsable = false; // the old list could be read
    CScanResult m_result;
};
