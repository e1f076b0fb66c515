// vexscan -c FILE: runs the scan that the command file FILE describes.
// Exit code 0: clean; 1: infected or changed files found; 2: error.
#include "CommandFile.h"
#include "FileOps.h"
#include "LineText.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "ProgramInfo.h"
#include "ResultWriter.h"
#include "RunningScan.h"
#include "ScanLock.h"
#include "ScanModules.h"
#include "ScanNotice.h"
#include "ScanPaths.h"
#include "ScanPriority.h"
#include "Scanner.h"
#include "ScannerHelp.h"
#include "Settings.h"
#include "SignatureInfo.h"
#include "StatePaths.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The verdict cache is on unless the machine value turns it off, or
// VEX_VERDICT_CACHE says "full" (every file read, for this run) or "off".
void ChooseVerdictCache(CScanner& scanner) {
    scanner.m_bUseVerdictCache =
        RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kVerdictCacheValue, 1) != 0;
    if (const char* env = std::getenv("VEX_VERDICT_CACHE")) {
        scanner.m_bFullScan = std::strcmp(env, "full") == 0;
        if (std::strcmp(env, "off") == 0)
            scanner.m_bUseVerdictCache = false;
    }
}

// The launcher hands the job's scan lock over as descriptor 3.
constexpr int kPassedLock = 3;

bool HoldsScanLock(const std::string& jobName) {
    struct stat held {
    }, lock{};
    return ::fstat(kPassedLock, &held) == 0 &&
           ::stat(CScanLock::LockPath(jobName.c_str()).c_str(), &lock) == 0 &&
           held.st_dev == lock.st_dev && held.st_ino == lock.st_ino;
}

// The lock goes as soon as the scan has ended: a window left open to show
// the result must not keep the job's next runs from starting.
void ReleaseScanLock(const std::string& jobName) {
    if (HoldsScanLock(jobName))
        ::close(kPassedLock);
}

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

// Runs the scan in its window, from the window module; false, with nothing
// run, when no display can be reached or the module cannot be loaded.
bool RunInWindow(CWindowRun& run) {
    std::string error;
    const auto entry =
        reinterpret_cast<WindowEntry>(LoadModuleEntry(kWindowModule, kWindowEntry, error));
    if (!entry) {
        std::fprintf(stderr, "vexscan: okno analizy niedostępne: %s\n", error.c_str());
        return false;
    }
    return entry(run);
}

// "vexscan --notice ...": the notice module does the work. Without it the
// notice is skipped, as without a bus.
int RunNoticeHelper(int argc, char** argv) {
    std::string error;
    const auto entry =
        reinterpret_cast<NoticeEntry>(LoadModuleEntry(kNoticeModule, kNoticeEntry, error));
    if (!entry) {
        std::fprintf(stderr, "vexscan: powiadomienie niedostępne: %s\n", error.c_str());
        return 0;
    }
    return entry(argc, argv);
}

// The scan a signal ends; null once main is done with it.
std::atomic<CScanner*> g_pScan{nullptr};

extern "C" void OnStopSignal(int sig) {
    if (CScanner* scan = g_pScan.load())
        scan->Interrupt(sig);
}

// A hang-up, an interrupt or a termination ends the scan the way the stop
// button does, so that its summary and result are written. The handler only
// sets the scan's flags; no thread waits for signals, since a second thread
// makes every stdio call of the signature load take a lock. A closed output
// is an error of the write, not the end of the process.
void StopScanOnSignals(CScanner& scanner) {
    std::signal(SIGPIPE, SIG_IGN);
    g_pScan.store(&scanner);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGHUP, SIGINT, SIGTERM})
        sigaction(sig, &action, nullptr);
}

// Ends the process with the scan's exit code once everything is written.
// The compiled signatures are left to the system, which takes the memory
// back at once: freeing them one by one takes tens of milliseconds with a
// large database. Under AddressSanitizer the program ends normally, so that
// its leak check sees everything freed.
int EndAfterScan(int code) {
    g_pScan.store(nullptr);
#ifndef __SANITIZE_ADDRESS__
    std::fflush(nullptr);
    std::_Exit(code);
#endif
    return code;
}

} // namespace

int main(int argc, char** argv) {
    if (const auto code = AnswerInfoOption(argc, argv, "vexscan", VexscanHelp(), stdout))
        return *code;
    if (argc >= 2 && std::strcmp(argv[1], "--notice") == 0)
        return RunNoticeHelper(argc, argv);
    UseUserLocaleForMessages();
    if (argc != 3 || std::strcmp(argv[1], "-c") != 0) {
        std::fprintf(stderr, "vexscan: błędne wywołanie\n%s", VexscanUsage());
        return kExitUsageError;
    }
    // Scans the server starts give way to everything else; set before any
    // thread exists, so that all of the scan's threads inherit it. Not passed
    // on: a window that the notice opens runs its scans as the user chose.
    const char* priority = std::getenv("VEX_PRIORITY");
    if (priority && std::strcmp(priority, "background") == 0) {
        std::string error;
        if (!LowerToBackground(error))
            std::fprintf(stderr, "vexscan: %s\n", error.c_str());
    }
    ::unsetenv("VEX_PRIORITY");
    const std::string commandFile = argv[2];
    CScanCommand cmd;
    std::string error;
    if (!ReadCommandFile(commandFile, cmd, error)) {
        // A file we cannot understand is left in place: it may not be ours.
        std::fprintf(stderr, "vexscan: damaged command file %s: %s\n",
                     EscapePath(commandFile).c_str(), EscapeControls(error).c_str());
        return 2;
    }
    // Its content is in memory now; nobody else cleans it up.
    ::unlink(commandFile.c_str());
    // The log, the references and the quarantine live in the state root:
    // whoever else can write there could steer where this scan writes and
    // moves files.
    if (const CStateProblem problem = CheckStateRoot(); problem.kind != CStateProblem::None) {
        std::fprintf(stderr, "vexscan: odmawiam analizy: %s\n",
                     DescribeStateProblemPl(problem, EscapePath(problem.strPath),
                                            "'" + problem.strPath + "'")
                         .c_str());
        return 2;
    }

    // "Vex na wierzchu": a window when there is a display. In the background,
    // or without a display, nothing ever waits for a user. The toolkit is
    // loaded only for a window.
    const char* window = std::getenv("VEX_WINDOW");
    const bool shown = !(window && std::strcmp(window, "hidden") == 0);

    CScanner scanner(cmd, CScanPaths::ForJob(StateRoot(), cmd.m_strJobName), SignatureFolder());
    StopScanOnSignals(scanner);
    // `tempora running` and `tempora stop` learn from the lock file which
    // process scans the job and how far it got.
    CScanProgressRecord progress(HoldsScanLock(cmd.m_strJobName) ? kPassedLock : -1);
    progress.Update(0, true);
    // Open windows show the job as running from now on.
    CNamedBroadcast(kClientEventName).Set();
    scanner.m_onFileDone = [&progress](size_t files) { progress.Update(files); };
    ChooseVerdictCache(scanner);
    // The job's last result is stored when the scan ends, not when its
    // window closes. A result that cannot be stored is an error of the scan.
    bool stored = true;
    auto recordResult = [&](const CScanResult& r) {
        std::string error;
        stored = WriteScanResult(cmd.m_strJobName, r, error);
        progress = CScanProgressRecord(-1); // its descriptor closes now
        ReleaseScanLock(cmd.m_strJobName);
        if (!stored) {
            std::fprintf(stderr, "vexscan: %s\n", error.c_str());
            scanner.LogAfterScan("błąd: " + error);
        }
    };
    CWindowRun run;
    run.pArgc = &argc;
    run.argv = argv;
    run.strJobName = cmd.m_strJobName;
    run.nEndMode = cmd.m_nEndMode;
    run.task = scanner.Task();
    run.onFinished = recordResult;
    if (shown && HasDisplay() && RunInWindow(run))
        return EndAfterScan(stored ? run.result.ExitCode() : 2);

    const CScanResult result = scanner.Run();
    recordResult(result);
    // Without a window nobody saw the scan: a finding or a failure gets a
    // desktop notice, sent by a detached helper so nothing waits here.
    if (CScanNotice::IsWanted(result))
        CScanNotice::Post(cmd.m_strJobName, result);
    if (shown) {
        const std::string summary = result.Text(cmd.m_strJobName, cmd.m_strDirectory);
        std::printf("%s\n", EscapeControls(summary).c_str());
        std::fflush(stdout);
    }
    return EndAfterScan(stored ? result.ExitCode() : 2);
}
