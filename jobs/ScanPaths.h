#pragma once

#include <string>

// Where the scanner keeps what outlives a scan, below the state root: one log
// and one reference list per job, the quarantine folder, the user's allow-list
// and the verdict cache.
struct CScanPaths {
    std::string m_strLog;
    std::string m_strReference;
    std::string m_strQuarantine;
    std::string m_strVerdicts;  // the verdict cache, shared by every job
    std::string m_strAllowList; // files no scan reports any more, by SHA-256

    static CScanPaths ForJob(const std::string& stateRoot, const std::string& jobName);
};

// A file name for a job: the name's safe characters (at most 64) and a hash
// of the whole name, so that different names never share a file and no name
// can climb out of the folder.
std::string JobFileStem(const std::string& jobName);

// Moves a job's log (with its older part) and reference list to the files of
// its new name, so a renamed job keeps its history. A file is left where it
// is when the new name already has one. False when a move failed.
bool MoveJobFiles(const std::string& stateRoot, const std::string& oldName,
                  const std::string& newName);

// Removes a job's log (with its older part) and reference list, so that a
// later job of the same name starts without the history of a deleted one.
// Missing files are no error. False when a file could not be removed.
bool RemoveJobFiles(const std::string& stateRoot, const std::string& jobName);

// Creates dir and its missing parents with owner-only rights for the new ones.
bool MakeDirectories(const std::string& dir);
