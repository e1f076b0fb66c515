// The job store with 1,000 jobs in a temporary state root: reading one job,
// a full enumeration, and a durable (committed and synced) write.

#include "Daily.h"
#include "Job.h"
#include "NamedEvent.h"
#include "ScanRegInterface.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr int kJobs = 1000;

std::unique_ptr<CJob> MakeJob(const std::string& name) {
    auto job = std::make_unique<CJob>();
    job->SetName(name.c_str());
    job->GetScanParameter().m_strDirectory = "/home/uzytkownik/dokumenty";
    CDaily daily;
    const int hour = 13, minute = 30, on = 1;
    daily.Set(true, &hour, &minute, &on, &on, &on, &on, &on, &on, &on);
    job->SetPeriod(daily, COleDateTime(2026, 12, 7, 13, 20, 45));
    return job;
}

std::string JobName(int i) {
    return "Analiza dysku nr " + std::to_string(i);
}

// One state root with kJobs jobs for the whole run, removed at exit.
class CFilledStore {
public:
    CFilledStore() {
        char dir[] = "/tmp/vex-bench-XXXXXX";
        m_root = mkdtemp(dir) ? dir : "/tmp/vex-bench";
        setenv("RAMPART_ROOT", m_root.c_str(), 1);
        HKEY key = nullptr;
        if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key) == ERROR_SUCCESS)
            RegCloseKey(key);
        m_store.Open(kJobKeyPath);
        for (int i = 0; i < kJobs; ++i)
            m_store.AddJob(*MakeJob(JobName(i)));
    }
    ~CFilledStore() {
        m_store.Close();
        CNamedEvent::Remove(kServerEventName);
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    CScanRegInterface& Store() { return m_store; }

private:
    std::string m_root;
    CScanRegInterface m_store;
};

CFilledStore& Filled() {
    static CFilledStore store;
    return store;
}

void BM_ReadJob(benchmark::State& state) {
    CScanRegInterface& store = Filled().Store();
    const std::string name = JobName(kJobs / 2);
    CJob job;
    for (auto _ : state) {
        if (!store.ReadJob(name.c_str(), &job))
            state.SkipWithError("job missing");
        benchmark::DoNotOptimize(job.GetName());
    }
}

void BM_EnumerateAll(benchmark::State& state) {
    CScanRegInterface& store = Filled().Store();
    for (auto _ : state) {
        DWORD index = 0;
        CJob job;
        int count = 0;
        while (store.EnumJob(&index, &job))
            ++count;
        if (count != kJobs)
            state.SkipWithError("wrong number of jobs");
    }
}

void BM_WriteJobDurable(benchmark::State& state) {
    CScanRegInterface& store = Filled().Store();
    auto job = MakeJob(JobName(kJobs / 3));
    long n = 0;
    for (auto _ : state) {
        // New content every time: rewriting identical bytes would commit nothing.
        job->GetScanParameter().m_strDirectory = "/home/dane/" + std::to_string(n++ % 100000);
        if (!store.WriteJob(*job, kHintJobChanged, nullptr))
            state.SkipWithError("write failed");
    }
}

} // namespace

BENCHMARK(BM_ReadJob)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EnumerateAll)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteJobDurable)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
