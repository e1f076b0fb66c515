#include "Scheduler.h"

#include "Clock.h"
#include "JobResult.h"
#include "LineText.h"
#include "LocalInstant.h"
#include "RegInterface.h"
#include "RunNow.h"
#include "ScanLock.h"
#include "ScanParameterLaunch.h"
#include "Server.h"
#include "Settings.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Why the scanner would refuse a job, for the log.
const char* FaultReason(CJob::EFault fault) {
    switch (fault) {
    case CJob::EFault::NoName:
        return "the job has no name";
    case CJob::EFault::LongName:
        return "the name is longer than the scanner takes";
    case CJob::EFault::NotText:
        return "the name is no UTF-8 text";
    case CJob::EFault::Option:
        return "a scan option is out of range";
    case CJob::EFault::Directory:
        return "the folder to scan is no absolute path the scanner takes";
    case CJob::EFault::ControlInName:
        return "the name holds a control character";
    case CJob::EFault::None:
        break;
    }
    return "";
}

} // namespace

CScheduler::CScheduler() : CScheduler(Options()) {}

CScheduler::CScheduler(Options options) : m_options(std::move(options)) {
    m_bWallClockSeam = static_cast<bool>(m_options.now);
    if (!m_options.now)
        m_options.now = [] { return COleDateTime::GetCurrentTime(); };
    if (!m_options.bootId)
        m_options.bootId = &CScheduler::ReadBootId;
    m_seams = m_options.runSeams;
    if (!m_seams.m_now)
        m_seams.m_now = m_options.now;
}

CScheduler::~CScheduler() {
    Stop();
}

COleDateTime CScheduler::Now() const {
    return m_options.now();
}

time_t CScheduler::NowInstant() const {
    return m_bWallClockSeam ? InstantOf(m_options.now()) : CurrentTime();
}

std::string CScheduler::ReadBootId() {
    int fd = ::open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string();
    char buf[64];
    ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    std::string id(buf, n > 0 ? static_cast<size_t>(n) : 0);
    while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
        id.pop_back();
    return id;
}

int CScheduler::RunPass(CServer& server) {
    ReapWorkers();
    ReapScanners();
    if (!m_bUnlaunchedChecked)
        m_bUnlaunchedChecked = RecordUnlaunched();
    if (!m_bBootChecked) {
        m_bBootChecked = true;
        RunAtStartupJobsOnce(server);
    }
    CRegInterface store;
    if (!store.Open(kJobKeyPath)) {
        if (!m_bKeyMissing)
            Log("failure", "",
                std::string("the job key cannot be opened: ") + RegErrorText(store.GetLastError()));
        m_bKeyMissing = true;
        return kMaxWaitMs;
    }
    m_bKeyMissing = false;
    const std::string scanner = RegGetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "vexexe", "");
    const time_t now = NowInstant();
    double waitMs = kMaxWaitMs;
    DWORD index = 0;
    std::vector<std::string> skipped;
    CJob job;
    CRegInterface::EEnum step;
    while ((step = store.NextJob(&index, &job, &skipped)) == CRegInterface::EEnum::Job) {
        if (!job.IsActive() || job.GetPeriod()->IsAtStartup())
            continue;
        if (job.IsReferenceAhead(now))
            RebaseReference(store, job, now);
        // As the list reads it: in real time, from the reference time.
        time_t next;
        if (!job.GetNextStart(now, next))
            continue;
        if (next > now) {
            waitMs = std::min(waitMs, static_cast<double>(next - now) * 1000.0);
            continue;
        }
        if (!IsWaiting(job.GetName()))
            StartJob(server, store, job, now, scanner);
    }
    LogSkipped(skipped);
    if (step == CRegInterface::EEnum::Failed) {
        // The jobs after the failure were not seen: try again soon.
        if (!m_bReadFailed)
            Log("failure", "",
                std::string("the job store cannot be read: ") + RegErrorText(store.GetLastError()));
        m_bReadFailed = true;
        return kRetryWaitMs;
    }
    m_bReadFailed = false;
    // A wake-up a fraction early only costs one more short pass.
    return std::max(1, static_cast<int>(std::lround(waitMs)));
}

void CScheduler::LogSkipped(const std::vector<std::string>& skipped) {
    for (const std::string& name : skipped)
        if (m_skippedLogged.insert(name).second)
            Log("failure", name, "the stored job is damaged and is passed over");
}

void CScheduler::RunAtStartupJobsOnce(CServer& server) {
    const std::string boot = m_options.bootId();
    if (!boot.empty() &&
        RegGetString(HKEY_LOCAL_MACHINE, kServerKeyPath, kLastBootValue, "") == boot)
        return;
    CRegInterface store;
    if (!store.Open(kJobKeyPath))
        return;
    // Every job is read before the boot is recorded: a store that cannot be
    // read now is tried again on the next pass.
    std::vector<std::unique_ptr<CJob>> due;
    std::vector<std::string> skipped;
    DWORD index = 0;
    auto job = std::make_unique<CJob>();
    CRegInterface::EEnum step;
    while ((step = store.NextJob(&index, job.get(), &skipped)) == CRegInterface::EEnum::Job) {
        if (job->IsActive() && job->GetPeriod()->IsAtStartup()) {
            due.push_back(std::move(job));
            job = std::make_unique<CJob>();
        }
    }
    LogSkipped(skipped);
    if (step == CRegInterface::EEnum::Failed) {
        Log("failure", "",
            std::string("the job store cannot be read: ") + RegErrorText(store.GetLastError()));
        m_bBootChecked = false;
        return;
    }
    // Recorded before the starts: a crash in between misses a start rather
    // than repeating one.
    if (!boot.empty() &&
        !RegSetString(HKEY_LOCAL_MACHINE, kServerKeyPath, kLastBootValue, boot.c_str()))
        Log("failure", "", "the boot cannot be recorded");
    const std::string scanner = RegGetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "vexexe", "");
    const time_t now = NowInstant();
    for (const auto& pJob : due)
        if (!IsWaiting(pJob->GetName()))
            StartJob(server, store, *pJob, now, scanner);
}

bool CScheduler::RecordUnlaunched() {
    CRegInterface store;
    std::vector<std::pair<std::string, std::int64_t>> starts;
    if (!store.Open(kJobKeyPath) || !store.ReadUnlaunched(starts))
        return false;
    // Only one server runs for a state root: whatever a former one stamped
    // and did not see launched is over.
    for (const auto& [name, stamp] : starts) {
        CJobResult result;
        const bool bEnded = ReadJobResult(name.c_str(), result) && result.m_nFinished >= stamp;
        if (!bEnded && !CScanLock::IsRunning(name.c_str()) &&
            store.ReadJob(name.c_str(), nullptr)) {
            Log("failure", name,
                "a former server stamped the start at " + IsoLocalTime(stamp) +
                    " and ended before it launched the scan");
            RecordNotStarted(name, CJobResult::ENotStarted::ScannerMissing);
        }
        store.ClearUnlaunched(name.c_str());
    }
    return true;
}

void CScheduler::ClearUnlaunched(const std::string& name) {
    CRegInterface store;
    if (!store.Open(kJobKeyPath) || !store.ClearUnlaunched(name.c_str()))
        Log("failure", name, "the record of the start to launch cannot be removed");
}

bool CScheduler::StartJob(CServer& server, CRegInterface& store, CJob& job, time_t now,
                          const std::string& scanner) {
    const std::vector<BYTE> before = job.Store();
    switch (store.StampStartToLaunch(job, now)) {
    case CRegInterface::EWriteIf::Written:
        break;
    case CRegInterface::EWriteIf::Changed:
        // Deleted, switched off or edited since it was read: the next pass
        // reads it afresh.
        Log("skipped", job.GetName(), "the job was changed meanwhile");
        return false;
    case CRegInterface::EWriteIf::Failed:
        // Not started either: a start that cannot be recorded would repeat
        // on every pass.
        Log("failure", job.GetName(), "the start cannot be recorded");
        return false;
    }
    server.SignalClients();
    // The slot is used up all the same: a job the scanner would refuse is
    // refused once per start, not at every pass.
    if (const CJob::EFault fault = job.CheckCarriable(); fault != CJob::EFault::None) {
        Log("refused", job.GetName(), std::string(FaultReason(fault)) + "; not started");
        RecordNotStarted(job.GetName(), NotCarriedOut(fault));
        ClearUnlaunched(job.GetName());
        return false;
    }
    if (job.GetPeriod()->GetIdle()) {
        StartWorker(job, before, scanner);
        return true;
    }
    job.m_strScanner = scanner;
    job.m_pRunSeams = &m_seams;
    job.m_bKeepScanner = true;
    const CJob::ERunResult result = job.Execute();
    LogResult(job.GetName(), result);
    ClearUnlaunched(job.GetName()); // launched, or its outcome recorded
    KeepScanner(job, result);
    job.m_pRunSeams = nullptr;
    return true;
}

void CScheduler::RebaseReference(CRegInterface& store, CJob& job, time_t now) {
    // Counted from now for good, or the next start would keep moving ahead
    // with the clock; the has-started flag stays as it was. Written only over
    // the job as read.
    const std::vector<BYTE> read = job.Store();
    job.SetLastStartAt(now, job.HasLastStart());
    if (store.WriteJobIf(read, job) == CRegInterface::EWriteIf::Written)
        Log("clock", job.GetName(), "the last start lay ahead of the clock and now counts as now");
    else
        Log("failure", job.GetName(), "the last start ahead of the clock cannot be corrected");
}

void CScheduler::StartWorker(CJob& job, const std::vector<BYTE>& before,
                             const std::string& scanner) {
    // The worker gets a copy of its own, which lives until it is reaped.
    auto copy = std::make_unique<CJob>();
    const std::vector<BYTE> bytes = job.Store();
    copy->Load(bytes.data(), bytes.size());
    copy->m_strScanner = scanner;
    copy->m_pRunSeams = &m_seams;
    copy->m_bKeepScanner = true;
    std::lock_guard<std::mutex> lock(m_mutex);
    Worker& worker = m_workers.emplace_back();
    worker.job = std::move(copy);
    worker.before = before;
    worker.stamped = bytes;
    try {
        worker.thread = std::thread([this, &worker] {
            worker.job->m_hThread = std::this_thread::get_id();
            const CJob::ERunResult result = worker.job->Execute();
            LogResult(worker.job->GetName(), result);
            if (result == CJob::ERunResult::Cancelled)
                Rearm(worker);
            ClearUnlaunched(worker.job->GetName());
            KeepScanner(*worker.job, result);
            worker.done = true;
        });
    } catch (...) {
        m_workers.pop_back();
        LogLocked("failure", job.GetName(), "no thread for the idle wait");
    }
}

void CScheduler::Rearm(Worker& worker) {
    CJob earlier;
    CRegInterface store;
    if (!earlier.Load(worker.before.data(), worker.before.size()) || !store.Open(kJobKeyPath) ||
        store.WriteJobIf(worker.stamped, earlier) == CRegInterface::EWriteIf::Failed)
        Log("failure", worker.job->GetName(), "the cancelled start cannot be taken back");
}

void CScheduler::KeepScanner(const CJob& job, CJob::ERunResult result) {
    if (result != CJob::ERunResult::Started || job.m_launched.pid <= 0)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scanners.push_back({job.m_launched.pid, job.GetName(), job.m_launched.strCommandFile,
                          job.m_launched.nStarted});
}

void CScheduler::ReapScanners() {
    std::vector<Scanner> ended;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_scanners.begin(); it != m_scanners.end();) {
            int status = 0;
            if (::waitpid(it->pid, &status, WNOHANG) == it->pid) {
                it->status = status;
                ended.push_back(*it);
                it = m_scanners.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const Scanner& scanner : ended)
        LogScannerEnd(scanner);
}

void CScheduler::LogScannerEnd(const Scanner& scanner) {
    // The scanner removes its command file as soon as it has read it; one
    // still there was refused (or never reached), and nobody else removes it.
    if (!scanner.commandFile.empty() && ::unlink(scanner.commandFile.c_str()) == 0) {
        LogResult(scanner.name, CJob::ERunResult::Refused);
        return;
    }
    if (!RecordScannerEnd({scanner.pid, scanner.commandFile, scanner.name, scanner.started},
                          scanner.status))
        Log("failure", scanner.name, "the end of a scan without a result cannot be recorded");
    if (WIFSIGNALED(scanner.status)) {
        Log("failure", scanner.name,
            "the scanner ended on signal " + std::to_string(WTERMSIG(scanner.status)));
        return;
    }
    Log("end", scanner.name,
        "the scanner exited with code " + std::to_string(WEXITSTATUS(scanner.status)));
}

void CScheduler::ReapWorkers() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->done) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

void CScheduler::Stop() {
    // A run sets its flag when it begins, so keep clearing it until the
    // worker has noticed; each wait looks at the flag every 100 ms.
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            bool all = true;
            for (Worker& w : m_workers) {
                if (!w.done) {
                    w.job->m_bRunning = false;
                    all = false;
                }
            }
            if (all)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ReapWorkers();
}

bool CScheduler::IsWaiting(const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Worker& w : m_workers)
        if (!w.done && name == w.job->GetName())
            return true;
    return false;
}

size_t CScheduler::WaitingRuns() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<size_t>(
        std::count_if(m_workers.begin(), m_workers.end(), [](const Worker& w) { return !w.done; }));
}

void CScheduler::LogResult(const std::string& name, CJob::ERunResult result) {
    switch (result) {
    case CJob::ERunResult::Started:
        Log("start", name);
        break;
    case CJob::ERunResult::LaunchFailed:
        Log("failure", name, "the scanner could not be started");
        // The list shows it as the job's last result: no scanner, no result
        // of its own.
        if (!WriteNotStartedResult(name.c_str()))
            Log("failure", name, "the result cannot be recorded");
        break;
    case CJob::ERunResult::GivenUp:
        Log("give-up", name, "the processor stayed busy");
        RecordNotStarted(name, CJobResult::ENotStarted::Busy);
        break;
    case CJob::ERunResult::Cancelled:
        Log("cancelled", name);
        RecordNotStarted(name, CJobResult::ENotStarted::Cancelled);
        break;
    case CJob::ERunResult::StillRunning:
        Log("skipped", name, "the previous scan is still running");
        RecordNotStarted(name, CJobResult::ENotStarted::StillRunning);
        break;
    case CJob::ERunResult::Refused:
        Log("refused", name, "the scanner did not take the command file, which is removed");
        RecordNotStarted(name, CJobResult::ENotStarted::Refused);
        break;
    }
}

// A run that did not scan is the job's last result all the same, so the list
// and tempora tell why nothing was found.
void CScheduler::RecordNotStarted(const std::string& name, CJobResult::ENotStarted why) {
    if (!WriteNotStartedResult(name.c_str(), why))
        Log("failure", name, "the result cannot be recorded");
}

void CScheduler::Log(const char* what, const std::string& name, const std::string& detail) {
    std::lock_guard<std::mutex> lock(m_mutex);
    LogLocked(what, name, detail);
}

void CScheduler::LogLocked(const char* what, const std::string& name, const std::string& detail) {
    if (!m_options.log)
        return;
    std::string line = "vexserv: " + IsoLocalTime(NowInstant()) + " " + what;
    if (!name.empty())
        // Job names come from the store: escaped, each entry stays one line.
        line += " \"" + EscapePath(name) + "\"";
    if (!detail.empty())
        line += ": " + detail;
    std::fprintf(m_options.log, "%s\n", line.c_str());
    std::fflush(m_options.log);
}
