#pragma once

// The scan server's schedule: each pass reads the job key afresh, starts
// every active job whose next start has come (also one missed while the
// server was not running, once), stamps and writes it back before the start,
// runs at-start-up jobs once per boot of the computer, and gives jobs that
// wait for idle time a worker thread of their own.

#include "Job.h"
#include "JobResult.h"
#include "OleDateTime.h"
#include "ResultReport.h"
#include "ServerWork.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// Key and value in which the server keeps the boot it last served; never in
// the job key, where every value is a job.
inline constexpr const char* kServerKeyPath = "Software\\Kestrow\\Rampart 8\\VexServ";
inline constexpr const char* kLastBootValue = "LastBoot";

class CRegInterface;

class CScheduler : public IServerWork {
public:
    // The longest wait between two passes, so that clock changes, suspend
    // and daylight-saving shifts are noticed.
    static constexpr int kMaxWaitMs = 60 * 1000;
    // The wait before another try when the job store cannot be read.
    static constexpr int kRetryWaitMs = 5 * 1000;

    struct Options {
        // A wall-clock seam for tests; default: CurrentTime(), whose
        // instants also tell the two passes of a repeated hour apart.
        std::function<COleDateTime()> now;
        std::function<std::string()> bootId; // default: ReadBootId()
        // Seams handed to every run (tests); m_now defaults to `now`.
        CJobRunSeams runSeams;
        std::FILE* log = stderr;
    };

    CScheduler();
    explicit CScheduler(Options options);
    ~CScheduler() override;

    int RunPass(CServer& server) override;
    void Stop() override;

    // Runs waiting for idle time right now.
    size_t WaitingRuns();

    // The kernel's identifier of the current boot; empty when unknown.
    static std::string ReadBootId();

private:
    struct Worker {
        std::unique_ptr<CJob> job;
        std::vector<BYTE> before;  // the stored form before the start was stamped
        std::vector<BYTE> stamped; // and after
        std::thread thread;
        std::atomic<bool> done{false};
    };

    // The schedule's part of a pass; RunPass then reports new results.
    int SchedulePass(CServer& server);
    COleDateTime Now() const;
    // Now as an instant: the clock of CurrentTime(), or the wall-clock seam
    // that a test set.
    time_t NowInstant() const;
    void RunAtStartupJobsOnce(CServer& server);
    // Stamps the start of one job as read, when the store still holds it
    // unchanged, and then starts it; false when it was not started.
    bool StartJob(CServer& server, CRegInterface& store, CJob& job, time_t now,
                  const std::string& scanner);
    // A start that a former server stamped and ended before launching gets
    // the result "not started" (unless its scan ran or runs after all).
    // False when the store cannot be read now.
    bool RecordUnlaunched();
    // The stamped start was launched, or its outcome recorded.
    void ClearUnlaunched(const std::string& name);
    // A reference time ahead of the clock becomes now in the store.
    void RebaseReference(CRegInterface& store, CJob& job, time_t now);
    void StartWorker(CJob& job, const std::vector<BYTE>& before, const std::string& scanner);
    // A run cancelled in its idle wait gets its earlier last start back, so
    // that the next server starts it again.
    void Rearm(Worker& worker);
    // Logs the names of values that are not jobs, each once.
    void LogSkipped(const std::vector<std::string>& skipped);
    // A scanner the server started, reaped by the server to learn its end.
    struct Scanner {
        int pid;
        std::string name;
        std::string commandFile;
        std::int64_t started = 0;
        int status = 0;
    };
    void KeepScanner(const CJob& job, CJob::ERunResult result);
    // Collects the scanners that have ended and logs how each ended.
    void ReapScanners();
    void LogScannerEnd(const Scanner& scanner);
    void RecordNotStarted(const std::string& name, CJobResult::ENotStarted why);
    void ReapWorkers();
    bool IsWaiting(const std::string& name);
    void Log(const char* what, const std::string& name, const std::string& detail = "");
    void LogLocked(const char* what, const std::string& name, const std::string& detail);
    void LogResult(const std::string& name, CJob::ERunResult result);

    Options m_options;
    CJobRunSeams m_seams;
    bool m_bWallClockSeam = false;
    bool m_bBootChecked = false;
    bool m_bUnlaunchedChecked = false;
    bool m_bKeyMissing = false; // said once, not every minute
    bool m_bReadFailed = false; // likewise
    std::set<std::string> m_skippedLogged;
    std::mutex m_mutex; // guards m_workers and the log
    std::list<Worker> m_workers;
    std::vector<Scanner> m_scanners; // guarded by m_mutex
    CResultReport m_results;
};
