#pragma once

#include <cstdio>
#include <string>

// The log of one job's scans. Combined mode writes one summary line per scan,
// detailed mode also one line per file; each scan appends. A log that has
// grown past kMaxSize is moved aside to "<log>.1" before a scan writes to it.
class CScanLog {
public:
    static constexpr long kMaxSize = 1L << 20;

    CScanLog(std::string path, int mode);
    ~CScanLog();
    CScanLog(const CScanLog&) = delete;
    CScanLog& operator=(const CScanLog&) = delete;

    // Opens the file (creating its folder); false with a reason on failure.
    bool Open(std::string& error);
    void File(const std::string& path, const std::string& status);
    void Summary(const std::string& text);

private:
    void Write(const std::string& line);

    std::string m_strPath;
    int m_nMode;
    FILE* m_pFile = nullptr;
};
