// One pass of the schedule over 10,000 jobs (read, compute, nothing due), and
// the server's processor use while it waits with 1,000 jobs. The state root
// is made in /dev/shm when there is one, so that filling it is quick; the
// pass itself reads the registry as it always does.
#include "Daily.h"
#include "RegInterface.h"
#include "Scheduler.h"
#include "Server.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const COleDateTime kNow(2026, 12, 7, 13, 30, 20);

// Removes the roots made below when the program ends.
struct CRootCleanup {
    std::vector<std::string> roots;
    ~CRootCleanup() {
        std::error_code ec;
        for (const std::string& root : roots)
            std::filesystem::remove_all(root, ec);
    }
} g_cleanup;

// Fills a fresh root with daily jobs whose next start lies two hours after ref.
std::string MakeRoot(int jobs, const COleDateTime& ref) {
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string tmpl = base + "/vexbenchXXXXXX";
    if (!::mkdtemp(tmpl.data()))
        return std::string();
    g_cleanup.roots.push_back(tmpl);
    ::setenv("RAMPART_ROOT", tmpl.c_str(), 1);
    HKEY key = nullptr;
    RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key);
    RegCloseKey(key);
    CRegInterface store;
    store.Open(kJobKeyPath);
    const COleDateTime at = ref + COleDateTimeSpan(0, 2, 0, 0);
    int hour = at.GetHour(), minute = at.GetMinute();
    CDaily daily;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    for (int i = 0; i < jobs; ++i) {
        CJob job;
        job.SetName(("Skan nocny " + std::to_string(i)).c_str());
        job.SetPeriod(daily, ref);
        store.AddJob(job);
    }
    return tmpl;
}

CScheduler::Options FixedClock() {
    CScheduler::Options options;
    options.now = [] { return kNow; };
    options.bootId = [] { return std::string("bench"); };
    options.log = nullptr;
    return options;
}

void BM_SchedulePass10000Jobs(benchmark::State& state) {
    static const std::string root = MakeRoot(10000, kNow);
    ::setenv("RAMPART_ROOT", root.c_str(), 1);
    CServer server;
    std::string error;
    if (!server.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    CScheduler scheduler(FixedClock());
    scheduler.RunPass(server); // the once-per-boot check
    for (auto _ : state)
        benchmark::DoNotOptimize(scheduler.RunPass(server));
}
BENCHMARK(BM_SchedulePass10000Jobs)->Unit(benchmark::kMillisecond)->MinTime(2.0);

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The real server loop with the real clock: its passes plus its waits, over
// VEX_IDLE_SECONDS (default 60) of wall time. Reported as percent of a core.
void BM_IdleServer1000Jobs(benchmark::State& state) {
    static const std::string root = MakeRoot(1000, COleDateTime::GetCurrentTime());
    ::setenv("RAMPART_ROOT", root.c_str(), 1);
    const char* env = std::getenv("VEX_IDLE_SECONDS");
    const int seconds = env ? std::atoi(env) : 60;
    for (auto _ : state) {
        CServer server;
        std::string error;
        if (!server.Start(error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        CScheduler scheduler;
        const double cpuBefore = CpuSeconds();
        std::thread loop([&] { server.Run(&scheduler); });
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        server.RequestStop();
        loop.join();
        state.counters["core_percent"] = (CpuSeconds() - cpuBefore) / seconds * 100.0;
    }
}
BENCHMARK(BM_IdleServer1000Jobs)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
