#include "ScanLog.h"

#include "CommandFile.h"
#include "FileOps.h"
#include "ScanPaths.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

CScanLog::CScanLog(std::string path, int mode) : m_strPath(std::move(path)), m_nMode(mode) {}

CScanLog::~CScanLog() {
    if (m_pFile)
        std::fclose(m_pFile);
}

bool CScanLog::Open(std::string& error) {
    if (m_nMode == kLogNone)
        return true;
    std::string dir = m_strPath.substr(0, m_strPath.rfind('/'));
    if (!MakeDirectories(dir)) {
        error = "cannot create the log folder " + dir + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(m_strPath.c_str(), &st) == 0 && st.st_size > kMaxSize)
        std::rename(m_strPath.c_str(), (m_strPath + ".1").c_str());
    // "e": the descriptor is closed on exec.
    m_pFile = std::fopen(m_strPath.c_str(), "ae");
    if (!m_pFile) {
        error = "cannot open the log " + m_strPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void CScanLog::File(const std::string& path, const std::string& status) {
    if (m_nMode == kLogDetailed)
        Write(EscapePath(path) + ": " + status);
}

void CScanLog::Summary(const std::string& text) {
    if (m_nMode == kLogNone)
        return;
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    Write(std::string(stamp) + " " + text);
}

void CScanLog::Write(const std::string& line) {
    if (!m_pFile)
        return;
    std::fputs(line.c_str(), m_pFile);
    std::fputc('\n', m_pFile);
    std::fflush(m_pFile);
}
