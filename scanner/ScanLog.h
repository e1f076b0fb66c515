#pragma once

#include <cstdio>
#include <string>

// The log of one job's scans. Each scan appends: a header line that starts
// with "==== " and names the time, the job and the priority the scan runs
// at, the engine line, then (in
// detailed mode) one line per file or (in combined mode) one line per
// finding, and a summary line. A log that has grown past kMaxSize is moved
// aside to "<log>.1" before a scan writes to it.
class CScanLog {
public:
    static constexpr long kMaxSize = 1L << 20;

    CScanLog(std::string path, int mode);
    ~CScanLog();
    CScanLog(const CScanLog&) = delete;
    CScanLog& operator=(const CScanLog&) = delete;

    // Opens the file (creating its folder); false with a reason on failure.
    bool Open(std::string& error);
    void Header(const std::string& jobName);
    void Line(const std::string& text);
    // One file's result: written in detailed mode, and in combined mode when
    // it is a finding (an infection, a change or an error).
    void File(const std::string& path, const std::string& status, bool finding);
    void Summary(const std::string& text);
    // The first write that failed, if any (the log is then incomplete).
    const std::string& WriteError() const { return m_strWriteError; }

    // The local time with its UTC offset, as every line of the log gives it.
    static std::string Now();

private:
    void Write(const std::string& line);

    std::string m_strPath;
    int m_nMode;
    FILE* m_pFile = nullptr;
    std::string m_strWriteError;
};
