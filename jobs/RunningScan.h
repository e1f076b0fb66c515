#pragma once

// A scan that runs now, as its scanner describes itself in the job's scan
// lock file (ScanLock.h): its process, its start and the files it has dealt
// with so far. The record is believed, and its process signalled, only while
// that process is shown to be this job's scanner of the calling user.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

struct CRunningScan {
    std::string strJobName;
    int nPid = 0;
    std::int64_t nStarted = 0; // seconds since 1970 UTC
    std::uint64_t nFiles = 0;  // files dealt with so far
};

// The record's text: "1 PID STARTED FILES" and a line break, each number
// padded to a fixed width so that a rewrite never changes the file's size.
std::string FormatScanProgress(const CRunningScan& scan);
// Reads a record; false, with scan unchanged, for anything else.
bool ParseScanProgress(std::string_view text, CRunningScan& scan);

// Kept up to date by the scanner in the locked lock file it was handed.
class CScanProgressRecord {
public:
    explicit CScanProgressRecord(int fd);
    // Writes the count of files, at most once a second unless bNow.
    void Update(std::uint64_t nFiles, bool bNow = false);

private:
    int m_fd;
    CRunningScan m_scan;
    std::chrono::steady_clock::time_point m_last{};
};

// True when a scan of the job runs now, its scanner a process of the
// calling user; scan then holds its record. A scanner that has not
// described itself yet (its first moments) does not count.
bool FindRunningScan(const char* pszJobName, CRunningScan& scan);

// The process is the calling user's and holds the job's lock file as the
// descriptor the launcher handed it: the job's own scanner, not a process
// that merely got its number later. It lets the lock go once its result is
// stored.
bool IsJobScanner(int pid, const char* pszJobName);

enum class EStopScan {
    Signalled,  // the job's scanner was asked to stop (SIGTERM)
    NotRunning, // no scan of the job runs
    Foreign,    // the process is not this job's scanner of the calling user
    Failed,     // the signal could not be sent
};
EStopScan StopRunningScan(const char* pszJobName);
