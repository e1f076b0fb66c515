// Store and load of a typical job: a 20-byte name, a daily schedule and the
// default scan options. Target: a million of each per second.
#include "Daily.h"
#include "Job.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void MakeTypicalJob(CJob& job) {
    job.SetName("Skanowanie tygodnia");
    CDaily daily;
    int hour = 13, minute = 30;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    job.SetPeriod(daily, COleDateTime(2026, 12, 7, 13, 20, 0));
    job.SetActive(true);
}

void BM_JobStore(benchmark::State& state) {
    CJob job;
    MakeTypicalJob(job);
    for (auto _ : state) {
        BYTE* buf = nullptr;
        const int size = job.Store(buf);
        benchmark::DoNotOptimize(buf);
        benchmark::DoNotOptimize(size);
        delete[] buf;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_JobStore);

void BM_JobLoad(benchmark::State& state) {
    CJob job;
    MakeTypicalJob(job);
    const std::vector<BYTE> bytes = job.Store();
    CJob target;
    for (auto _ : state) {
        const bool ok = target.Load(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(ok);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_JobLoad);

} // namespace
