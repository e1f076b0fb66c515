#pragma once

#include <cstddef>
#include <string>

// The options of one scan as the command file carries them: line 1 holds
// eight digits (end mode, heuristics, file selection, subdirectories,
// infection action, reference difference action, log mode, reference check),
// line 2 the job's name, line 3 the directory to scan.
struct CScanCommand {
    int m_nEndMode = 1;
    bool m_bHeuristic = true;
    int m_nFileSelection = 1;
    bool m_bSubdirectories = true;
    int m_nInfectionAction = 0;
    int m_nReferenceDiffAction = 0;
    int m_nLogMode = 1;
    bool m_bReferenceCheck = true;
    std::string m_strJobName;
    std::string m_strDirectory;
};

enum EInfectionAction {
    kInfectLog = 0,
    kInfectStop,
    kInfectRemoveVirus,
    kInfectDelete,
    kInfectMove
};
enum EReferenceDiffAction { kDiffLog = 0, kDiffStop, kDiffAccept };
enum ELogMode { kLogNone = 0, kLogCombined, kLogDetailed };

// A command file is small; anything longer is not one of ours.
constexpr size_t kMaxCommandFileSize = 8192;

// Parses the bytes of a command file (lines end in CR LF or LF). On failure
// returns false and says why in error; cmd is then left unchanged.
bool ParseCommandFile(const char* data, size_t size, CScanCommand& cmd, std::string& error);

// Reads and parses the command file at path, reading at most
// kMaxCommandFileSize + 1 bytes and never following a symbolic link.
bool ReadCommandFile(const std::string& path, CScanCommand& cmd, std::string& error);
