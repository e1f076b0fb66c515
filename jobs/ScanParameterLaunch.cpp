#include "ScanParameterLaunch.h"

#include "JobResult.h"
#include "Process.h"
#include "RegInterface.h"
#include "ScanLock.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The command file is line-based: a line break inside a value would shift the
// folder to scan into another line.
bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

std::string WithoutLineBreaks(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n')
            c = ' ';
    return s;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Creates the command file exclusively, readable by its owner only, in
// $TMPDIR (default /tmp); empty on failure.
std::string WriteCommandFile(const std::string& text) {
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexXXXXXX";
    int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0)
        return std::string();
    bool ok = WriteAll(fd, text);
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        ::unlink(path.c_str());
        return std::string();
    }
    return path;
}

std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

} // namespace

bool RecordScannerEnd(const CLaunchedScanner& launched, int status) {
    CJobResult last;
    // A result of a run that did not scan (a second start refused while this
    // one ran) is never this scanner's own.
    if (launched.strJobName.empty() ||
        (ReadJobResult(launched.strJobName.c_str(), last) && !last.m_bNotStarted &&
         last.m_nFinished >= launched.nStarted))
        return true;
    CRegInterface store;
    if (!store.Open(kJobKeyPath) || !store.ReadJob(launched.strJobName.c_str(), nullptr))
        return true; // no job keeps a result any more
    const std::time_t now = std::time(nullptr);
    const CJobResult result =
        WIFSIGNALED(status) ? CJobResult::Interrupted(now, WTERMSIG(status))
                            : CJobResult::NotStarted(now, CJobResult::ENotStarted::ResultNotStored);
    return WriteJobResult(launched.strJobName.c_str(), result);
}

void ReapInBackground(const CLaunchedScanner& launched) {
    try {
        std::thread([launched] {
            const int status = WaitForProcess(launched.pid);
            ::unlink(launched.strCommandFile.c_str());
            RecordScannerEnd(launched, status);
        }).detach();
    } catch (...) {
        // No thread to spare: the scanner is reaped when we end.
    }
}

ECommandTake AwaitCommandTake(CLaunchedScanner& launched, int nTimeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    for (;;) {
        // Whether it ended is asked before the file is looked at, so a
        // scanner that took the file and then ended counts as taken.
        siginfo_t info{};
        const int waited =
            ::waitid(P_PID, static_cast<id_t>(launched.pid), &info, WEXITED | WNOHANG | WNOWAIT);
        const bool bEnded = (waited == 0 && info.si_pid == launched.pid) ||
                            (waited < 0 && errno == ECHILD); // reaped by the system
        if (::access(launched.strCommandFile.c_str(), F_OK) != 0 && errno == ENOENT)
            return ECommandTake::Taken;
        if (bEnded) {
            ::unlink(launched.strCommandFile.c_str());
            WaitForProcess(launched.pid);
            launched.pid = -1;
            return ECommandTake::Refused;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return ECommandTake::Pending;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string BuildCommandFileText(const CScanParameter& p, const char* pszJobName) {
    char digits[96];
    std::snprintf(digits, sizeof digits, "%d%d%d%d%d%d%d%d", static_cast<int>(p.m_nEndMode),
                  p.m_bHeuristic ? 1 : 0, static_cast<int>(p.m_nFileSelection),
                  p.m_bSubdirectories ? 1 : 0, static_cast<int>(p.m_nInfectionAction),
                  static_cast<int>(p.m_nReferenceDiffAction), static_cast<int>(p.m_nLogMode),
                  static_cast<int>(p.m_nReferenceCheck));
    return std::string(digits) + "\r\n" + WithoutLineBreaks(pszJobName ? pszJobName : "") + "\r\n" +
           p.m_strDirectory + "\r\n";
}

std::string ScannerWorkingDirectory(const std::string& scanner) {
    size_t slash = scanner.rfind('/');
    if (slash == std::string::npos)
        return scanner;
    return slash == 0 ? std::string("/") : scanner.substr(0, slash);
}

bool CScanParameter::Launch(const char* pszScanner, const char* pszJobName, bool* pbRunning,
                            CLaunchedScanner* pKeep, bool bFullScan) const {
    if (pbRunning != nullptr)
        *pbRunning = false;
    const std::string scanner = pszScanner ? pszScanner : "";
    // Nothing to start, or a folder that would not survive the trip: no
    // command file is left behind for a scanner that never comes.
    if (!IsExecutableFile(scanner) || HasLineBreak(m_strDirectory) || !CheckOptions())
        return false;
    CScanLock lock(pszJobName);
    bool bCannotMake = false;
    if (!lock.TryLock(&bCannotMake)) {
        if (pbRunning != nullptr)
            *pbRunning = !bCannotMake;
        return false;
    }
    const std::string commandFile = WriteCommandFile(BuildCommandFileText(*this, pszJobName));
    if (commandFile.empty())
        return false;

    CProcessStart start;
    start.m_strProgram = Absolute(scanner);
    start.m_args = {"-c", commandFile};
    start.m_strWorkingDir = ScannerWorkingDirectory(scanner);
    start.m_env = {{"VEX_WINDOW", m_nWindowMode == 0 ? "normal" : "hidden"}};
    if (bFullScan)
        start.m_env.push_back({"VEX_VERDICT_CACHE", "full"});
    start.m_nPassFd = lock.Descriptor(); // the scanner holds the lock from here on
    pid_t pid = -1;
    const std::int64_t started = std::time(nullptr);
    if (!StartProcess(start, &pid)) {
        ::unlink(commandFile.c_str()); // the scanner would have removed it
        return false;
    }
    const CLaunchedScanner launched{static_cast<int>(pid), commandFile,
                                    pszJobName ? pszJobName : "", started};
    if (pKeep != nullptr)
        *pKeep = launched;
    else
        ReapInBackground(launched);
    return true;
}
