// Next-start computations per kind and the calendar conversions. The job list
// sorts and the scan server polls by next start, so each must stay cheap.
#include "Daily.h"
#include "Hourly.h"
#include "Monthly.h"
#include "Once.h"
#include "Weekly.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// References spread over a few years, each on a whole minute.
std::vector<COleDateTime> References() {
    std::vector<COleDateTime> refs;
    for (int i = 0; i < 1024; ++i)
        refs.push_back(COleDateTime(1999 + i % 5, 1 + i % 12, 1 + i % 28, i % 24, i * 7 % 60, 0));
    return refs;
}

void RunNextStart(benchmark::State& state, const CPeriod& period,
                  const std::vector<COleDateTime>& refs) {
    size_t i = 0;
    for (auto _ : state) {
        COleDateTime t = refs[i++ & 1023];
        benchmark::DoNotOptimize(period.GetNextStart(t));
        benchmark::DoNotOptimize(t);
    }
    state.SetItemsProcessed(state.iterations());
}

void NextStartOnce(benchmark::State& state) {
    COnce once;
    const SYSTEMTIME st{2001, 5, 3, 2, 14, 0, 0, 0};
    once.Set(true, &st);
    RunNextStart(state, once, References());
}

void NextStartHourly(benchmark::State& state) {
    CHourly hourly;
    hourly.SetMinute(true, 30);
    RunNextStart(state, hourly, References());
}

void NextStartDaily(benchmark::State& state) {
    CDaily daily;
    const int hour = 8, minute = 0, off = 0;
    // Only Monday: the longest walk a daily schedule makes.
    daily.Set(true, &hour, &minute, nullptr, &off, &off, &off, &off, &off, &off);
    RunNextStart(state, daily, References());
}

void NextStartWeekly(benchmark::State& state) {
    CWeekly weekly;
    weekly.Set(true, 8, 0, 2);
    RunNextStart(state, weekly, References());
}

void NextStartMonthly(benchmark::State& state) {
    CMonthly monthly;
    monthly.Set(true, 8, 0, 15);
    RunNextStart(state, monthly, References());
}

// Day 31 from early February: the walk crosses February and lands on 31 March.
void NextStartMonthly31FromFebruary(benchmark::State& state) {
    CMonthly monthly;
    monthly.Set(true, 8, 0, 31);
    std::vector<COleDateTime> refs;
    for (int i = 0; i < 1024; ++i)
        refs.push_back(COleDateTime(1999 + i % 8, 2, 1 + i % 3, 9, 0, 0));
    RunNextStart(state, monthly, refs);
}

void FieldsFromDate(benchmark::State& state) {
    double dt = 36000.25;
    for (auto _ : state) {
        DateFields f;
        benchmark::DoNotOptimize(COleDateTime::FieldsFromDate(dt, f));
        benchmark::DoNotOptimize(f);
        dt += 1.37;
        if (dt > 60000)
            dt = 36000.25;
    }
    state.SetItemsProcessed(state.iterations());
}

void DateFromFields(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        double dt;
        benchmark::DoNotOptimize(COleDateTime::DateFromFields(1990 + i % 30, 1 + i % 12, 1 + i % 28,
                                                              i % 24, i % 60, 0, dt));
        benchmark::DoNotOptimize(dt);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(NextStartOnce);
BENCHMARK(NextStartHourly);
BENCHMARK(NextStartDaily);
BENCHMARK(NextStartWeekly);
BENCHMARK(NextStartMonthly);
BENCHMARK(NextStartMonthly31FromFebruary);
BENCHMARK(FieldsFromDate);
BENCHMARK(DateFromFields);
