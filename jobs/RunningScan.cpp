#include "RunningScan.h"

#include "ScanLock.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

// Longer than any record FormatScanProgress makes.
constexpr size_t kMaxRecord = 96;

// A decimal number after one or more blanks; advances text past it.
template <typename T> bool TakeNumber(std::string_view& text, T& value) {
    size_t blanks = 0;
    while (blanks < text.size() && text[blanks] == ' ')
        ++blanks;
    if (blanks == 0)
        return false;
    text.remove_prefix(blanks);
    if (!text.empty() && text[0] == '-')
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data())
        return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return true;
}

// The record of a lock file. A reader may meet a rewrite half done: a record
// that does not parse is read again a few times.
void ReadRecord(int fd, CRunningScan& scan) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        char buffer[kMaxRecord];
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
        if (n > 0 && ParseScanProgress(std::string_view(buffer, static_cast<size_t>(n)), scan))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace

bool IsJobScanner(int pid, const char* pszJobName) {
    const std::string proc = "/proc/" + std::to_string(pid);
    struct stat st {};
    if (::stat(proc.c_str(), &st) != 0 || st.st_uid != ::geteuid())
        return false;
    return SameFile(proc + "/fd/3", CScanLock::LockPath(pszJobName));
}

std::string FormatScanProgress(const CRunningScan& scan) {
    char text[kMaxRecord];
    std::snprintf(text, sizeof text, "1 %10d %20lld %20llu\n", scan.nPid,
                  static_cast<long long>(scan.nStarted),
                  static_cast<unsigned long long>(scan.nFiles));
    return text;
}

bool ParseScanProgress(std::string_view text, CRunningScan& scan) {
    if (text.size() > kMaxRecord || text.substr(0, 1) != "1")
        return false;
    text.remove_prefix(1);
    CRunningScan read = scan;
    if (!TakeNumber(text, read.nPid) || !TakeNumber(text, read.nStarted) ||
        !TakeNumber(text, read.nFiles) || text != "\n" || read.nPid <= 0)
        return false;
    scan = read;
    return true;
}

CScanProgressRecord::CScanProgressRecord(int fd) : m_fd(fd) {
    m_scan.nPid = static_cast<int>(::getpid());
    m_scan.nStarted = std::time(nullptr);
}

void CScanProgressRecord::Update(std::uint64_t nFiles, bool bNow) {
    const auto now = std::chrono::steady_clock::now();
    if (m_fd < 0 || (!bNow && now - m_last < std::chrono::seconds(1)))
        return;
    m_last = now;
    m_scan.nFiles = nFiles;
    const std::string text = FormatScanProgress(m_scan);
    // Only a view for others: a failed write changes nothing in the scan.
    (void)!::pwrite(m_fd, text.data(), text.size(), 0);
}

bool FindRunningScan(const char* pszJobName, CRunningScan& scan) {
    // The lock is not probed: a probe would hold it for a moment, and a
    // start of the job at that moment would take the job for running.
    const int fd = ::open(CScanLock::LockPath(pszJobName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    CRunningScan read;
    ReadRecord(fd, read);
    ::close(fd);
    if (read.nPid == 0 || !IsJobScanner(read.nPid, pszJobName))
        return false;
    read.strJobName = pszJobName;
    scan = read;
    return true;
}

EStopScan StopRunningScan(const char* pszJobName) {
    CRunningScan scan;
    if (!FindRunningScan(pszJobName, scan))
        return EStopScan::NotRunning;
    // The descriptor pins the process: should it end and its number be
    // given to another one while we look, the signal finds nobody.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, scan.nPid, 0));
    if (pidfd < 0)
        return errno == ESRCH ? EStopScan::NotRunning : EStopScan::Failed;
    EStopScan result = EStopScan::Foreign;
    if (IsJobScanner(scan.nPid, pszJobName)) {
        if (::syscall(SYS_pidfd_send_signal, pidfd, SIGTERM, nullptr, 0) == 0)
            result = EStopScan::Signalled;
        else
            result = errno == ESRCH ? EStopScan::NotRunning : EStopScan::Failed;
    }
    ::close(pidfd);
    return result;
}
