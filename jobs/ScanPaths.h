#pragma once

#include <string>

// Where the scanner keeps what outlives a scan, below the state root: one log
// and one reference list per job, and the quarantine folder.
struct CScanPaths {
    std::string m_strLog;
    std::string m_strReference;
    std::string m_strQuarantine;

    static CScanPaths ForJob(const std::string& stateRoot, const std::string& jobName);
};

// A file name for a job: the name's safe characters (at most 64) and a hash
// of the whole name, so that different names never share a file and no name
// can climb out of the folder.
std::string JobFileStem(const std::string& jobName);

// Creates dir and its missing parents with owner-only rights for the new ones.
bool MakeDirectories(const std::string& dir);
