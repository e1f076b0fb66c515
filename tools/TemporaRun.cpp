// `tempora run`, `running` and `stop`: scans started, followed to their end
// and stopped from the command line.
#include "TemporaSession.h"

#include "Job.h"
#include "JobReport.h"
#include "JobResult.h"
#include "LocalInstant.h"
#include "Process.h"
#include "RunningScan.h"
#include "ScanLock.h"
#include "ScanParameterLaunch.h"
#include "ScanRegInterface.h"
#include "Settings.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// A termination signal that reached us while a scan is followed; it is
// passed on to the scanner, whose result then says it was interrupted.
std::atomic<int> g_nStopSignal{0};

extern "C" void OnFollowSignal(int sig) {
    g_nStopSignal = sig;
}

class CPassOnSignals {
public:
    CPassOnSignals() {
        struct sigaction action {};
        action.sa_handler = OnFollowSignal;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &action, &m_old[i]);
    }
    ~CPassOnSignals() {
        for (size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &m_old[i], nullptr);
    }

private:
    static constexpr int kSignals[] = {SIGHUP, SIGINT, SIGTERM};
    struct sigaction m_old[std::size(kSignals)]{};
};

// The scanner's own result of this run is stored: never a "not started"
// one, which a start refused meanwhile writes.
bool OwnResultStored(const CLaunchedScanner& launched) {
    CJobResult result;
    return ReadJobResult(launched.strJobName.c_str(), result) && !result.m_bNotStarted &&
           result.m_nFinished >= launched.nStarted;
}

// Waits until the scanner has ended, or has stored its result (a scan
// window may stay open long after that). The wait status when it ended.
std::optional<int> FollowScanner(const CLaunchedScanner& launched) {
    const CPassOnSignals passOn;
    bool bPassedOn = false;
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(launched.pid, &status, WNOHANG);
        if (ended == launched.pid)
            return status;
        if (ended < 0 && errno != EINTR)
            return 0; // not ours to wait for after all
        // The lock goes after the result is stored, or with a dying process,
        // whose end is then collected to tell how it ended.
        if (!IsJobScanner(launched.pid, launched.strJobName.c_str()))
            return OwnResultStored(launched) ? std::nullopt
                                             : std::optional<int>(WaitForProcess(launched.pid));
        // Still our unreaped child: its number cannot have been reused.
        if (g_nStopSignal != 0 && !bPassedOn) {
            ::kill(launched.pid, SIGTERM);
            bPassedOn = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// 0 clean, 1 findings, 2 anything else, as the scanner's own exit codes.
int OutcomeCode(int nExitCode) {
    return nExitCode >= 0 && nExitCode <= 2 ? nExitCode : 2;
}

} // namespace

int CTemporaSession::RunInWatcher(const CTemporaRequest& request) {
    std::fflush(m_out);
    std::fflush(m_err);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return Refuse(std::string("nie mogę uruchomić analizy: ") + std::strerror(errno) + ".");
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return Refuse(std::string("nie mogę uruchomić analizy: ") + std::strerror(error) + ".");
    }
    if (pid == 0) {
        ::close(fds[0]);
        // Out of the caller's session: closing its terminal does not end
        // the watch.
        ::setsid();
        // Nor does the scan hold the caller's output open, which a script
        // reading it would wait for; its messages still reach the error stream.
        if (const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC); null >= 0) {
            ::dup2(null, STDOUT_FILENO);
            ::close(null);
        }
        m_nStartedFd = fds[1];
        const int code = ExecuteOnStore(request);
        ReportStart(code);
        std::_Exit(code);
    }
    ::close(fds[1]);
    unsigned char code = 0;
    ssize_t n = 0;
    do
        n = ::read(fds[0], &code, 1);
    while (n < 0 && errno == EINTR);
    ::close(fds[0]);
    if (n == 1)
        return code; // the watcher goes on alone
    WaitForProcess(pid);
    return Refuse("proces uruchamiający analizę zakończył się, zanim ją uruchomił.");
}

void CTemporaSession::ReportStart(int nCode) {
    if (m_nStartedFd < 0)
        return;
    std::fflush(m_out);
    std::fflush(m_err);
    const auto code = static_cast<unsigned char>(nCode);
    while (::write(m_nStartedFd, &code, 1) < 0 && errno == EINTR) {
    }
    ::close(m_nStartedFd);
    m_nStartedFd = -2;
    // The caller has its answer: nothing here may keep its pipes open.
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        ::dup2(null, fd);
    if (null > STDERR_FILENO)
        ::close(null);
}

int CTemporaSession::StartMessage(ERunNow outcome, const CJob& job, const std::string& scanner) {
    const std::string name = Quoted(job.GetName());
    switch (outcome) {
    case ERunNow::Started:
        return kExitOk;
    case ERunNow::StillRunning:
        return Refuse("poprzednia analiza " + name +
                      " jeszcze trwa; druga nie została uruchomiona.");
    case ERunNow::Changed:
        return Refuse("analiza " + name +
                      " została w międzyczasie zmieniona lub usunięta; nie uruchomiono jej.");
    case ERunNow::StoreFailed:
        return kExitRefused; // the store said why
    case ERunNow::NotStarted:
        return Refuse("nie mogę uruchomić skanera \"" + PlainText(scanner) +
                      "\" (wartość vexexe; vexserv --install ją zapisuje).");
    case ERunNow::Unfit:
        return Refuse("analizy " + name +
                      " nie można uruchomić: " + CJob::DescribeFault(job.CheckCarriable()) + ".");
    case ERunNow::Refused:
        return Refuse("skaner \"" + PlainText(scanner) + "\" odrzucił ustawienia analizy " + name +
                      " i jej nie przeprowadził.");
    }
    return kExitRefused;
}

int CTemporaSession::RunNow(CScanRegInterface& store, const CTemporaRequest& request) {
    CJob job;
    if (!ReadExisting(store, request.strName, job))
        return kExitRefused;
    job.m_bFullScan = request.bFullScan;
    job.m_bKeepScanner = true; // followed here, to record how it ended
    // The start is stamped only on the job as read, never over a change or
    // a deletion that came in between, and not for a run that was refused.
    const std::string scanner = RegGetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "vexexe", "");
    const int code = StartMessage(RunJobNow(store, job, scanner), job, scanner);
    ReportStart(code);
    const CLaunchedScanner launched = job.m_launched;
    if (code != kExitOk || launched.pid <= 0)
        return code;
    const std::optional<int> status = FollowScanner(launched);
    if (status) {
        ::unlink(launched.strCommandFile.c_str());
        RecordScannerEnd(launched, *status);
    }
    if (!request.bWait)
        return kExitOk;
    CJobResult result;
    if (ReadJobResult(launched.strJobName.c_str(), result)) {
        std::fprintf(m_out, "%s\n", result.GetText().c_str());
        return OutcomeCode(result.m_nExitCode);
    }
    // The job was deleted meanwhile: only the scanner's own code is left.
    std::fprintf(m_out, "analiza zakończona bez wyniku (usunięta w trakcie).\n");
    return *status != 0 && WIFEXITED(*status) ? OutcomeCode(WEXITSTATUS(*status)) : 2;
}

int CTemporaSession::Running(CScanRegInterface& store, bool bJson) {
    std::vector<CRunningScan> scans;
    if (!ForEachJob(store, [&](const CJob& job) {
            CRunningScan scan;
            if (FindRunningScan(job.GetName(), scan))
                scans.push_back(scan);
        }))
        return kExitRefused;
    std::sort(scans.begin(), scans.end(),
              [](const CRunningScan& a, const CRunningScan& b) { return a.nStarted < b.nStarted; });
    if (bJson) {
        std::string json = "[";
        for (const CRunningScan& scan : scans)
            json += std::string(json.size() > 1 ? ",\n" : "\n") +
                    "{\"name\": " + JsonString(scan.strJobName) +
                    ", \"pid\": " + std::to_string(scan.nPid) + ", \"started\": " +
                    JsonString(IsoLocalTime(static_cast<time_t>(scan.nStarted))) +
                    ", \"files\": " + std::to_string(scan.nFiles) + "}";
        std::fputs((json + (scans.empty() ? "]\n" : "\n]\n")).c_str(), m_out);
        return kExitOk;
    }
    std::fputs("Nazwa\tProces\tStart\tPliki\n", m_out);
    for (const CRunningScan& scan : scans)
        std::fprintf(m_out, "%s\t%d\t%s\t%llu\n", PlainText(scan.strJobName).c_str(), scan.nPid,
                     IsoLocalTime(static_cast<time_t>(scan.nStarted)).c_str(),
                     static_cast<unsigned long long>(scan.nFiles));
    return kExitOk;
}

int CTemporaSession::Stop(CScanRegInterface& store, const std::string& strName) {
    CJob job;
    if (!ReadExisting(store, strName, job))
        return kExitRefused;
    const std::string name = Quoted(job.GetName());
    CRunningScan scan;
    switch (StopRunningScan(job.GetName())) {
    case EStopScan::Signalled:
        break;
    case EStopScan::NotRunning:
        return Refuse("analiza " + name + " teraz nie trwa.");
    case EStopScan::Foreign:
        return Refuse("proces analizy " + name +
                      " nie jest skanerem tej analizy uruchomionym przez ciebie; "
                      "nie wysłano sygnału.");
    case EStopScan::Failed:
        return Refuse("nie mogę zatrzymać analizy " + name + ".");
    }
    // The scanner writes its summary and result before it lets the lock go.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (FindRunningScan(job.GetName(), scan)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return Refuse("analiza " + name + " dostała polecenie zatrzymania, ale jeszcze trwa.");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    CJobResult result;
    if (ReadJobResult(job.GetName(), result) && result.m_nFinished >= scan.nStarted)
        std::fprintf(m_out, "%s\n", result.GetText().c_str());
    return kExitOk;
}
