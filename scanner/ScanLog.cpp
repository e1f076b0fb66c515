#include "ScanLog.h"

#include "CommandFile.h"
#include "LineText.h"
#include "ScanPaths.h"
#include "ScanPriority.h"

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
        error = "nie można utworzyć folderu protokołu " + dir + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(m_strPath.c_str(), &st) == 0 && st.st_size > kMaxSize)
        std::rename(m_strPath.c_str(), (m_strPath + ".1").c_str());
    // "e": the descriptor is closed on exec.
    m_pFile = std::fopen(m_strPath.c_str(), "ae");
    if (!m_pFile) {
        error = "nie można otworzyć protokołu " + m_strPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string CScanLog::Now() {
    char stamp[40];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S%z", &local);
    // %z gives +0100; ISO 8601 readers expect +01:00.
    std::string text = stamp;
    if (text.size() >= 5)
        text.insert(text.size() - 2, ":");
    return text;
}

void CScanLog::Header(const std::string& jobName) {
    if (m_nMode != kLogNone)
        Write("==== " + Now() + " vexscan " + jobName + " (" + DescribePriority() + ")");
}

void CScanLog::Line(const std::string& text) {
    if (m_nMode != kLogNone)
        Write(text);
}

void CScanLog::File(const std::string& path, const std::string& status, bool finding) {
    if (m_nMode == kLogDetailed || (m_nMode == kLogCombined && finding))
        Write(EscapePath(path) + ": " + status);
}

void CScanLog::Summary(const std::string& text) {
    if (m_nMode != kLogNone)
        Write(Now() + " " + text);
}

void CScanLog::Write(const std::string& line) {
    if (!m_pFile)
        return;
    errno = 0;
    // Paths come escaped already; this keeps any other name (the job's, its
    // folder's) from breaking the line.
    const std::string text = EscapeControls(line);
    bool ok = std::fputs(text.c_str(), m_pFile) >= 0 && std::fputc('\n', m_pFile) != EOF &&
              std::fflush(m_pFile) == 0;
    if (!ok && m_strWriteError.empty())
        m_strWriteError =
            "nie można zapisać protokołu " + m_strPath + ": " + std::strerror(errno ? errno : EIO);
}
