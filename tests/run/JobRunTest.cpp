#include "AtStartup.h"
#include "Daily.h"
#include "Job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

CDaily DailyAt(int hour, int minute) {
    CDaily d;
    d.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return d;
}

// Drives a run in virtual time: every sleep moves the clock on, the load
// comes from a function of the reading's number, launches are counted.
class IdleWaitTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_start = COleDateTime(2026, 12, 7, 13, 30, 15);
        m_seams.m_now = [this] { return m_start + COleDateTimeSpan(m_elapsedMs / 86400000.0); };
        m_seams.m_sleep = [this](int ms) { m_elapsedMs += ms; };
        m_seams.m_load = [this] {
            m_lastLoad = m_loadOf(m_readings++);
            return m_lastLoad;
        };
        m_seams.m_launch = [this](CJob&) {
            ++m_launches;
            return true;
        };
        CAtStartup idle;
        idle.SetIdle(true, 5);
        m_job.SetPeriod(idle, m_start);
        m_job.m_pRunSeams = &m_seams;
    }
    CJob::ERunResult RunWithLoad(std::function<int(int)> loadOf) {
        m_loadOf = std::move(loadOf);
        m_readings = 0;
        m_job.m_hThread = std::this_thread::get_id(); // the run clears it each time
        return m_job.Execute();
    }
    double ElapsedMinutes() const { return m_elapsedMs / 60000.0; }

    CJob m_job;
    CJobRunSeams m_seams;
    COleDateTime m_start;
    long long m_elapsedMs = 0;
    std::function<int(int)> m_loadOf;
    int m_readings = 0;
    int m_lastLoad = -1;
    int m_launches = 0;
};

} // namespace

TEST_F(IdleWaitTest, QuietMachineStartsTheScannerAtTheEndOfTheIdleTime) {
    EXPECT_EQ(RunWithLoad([](int) { return 10; }), CJob::ERunResult::Started);
    EXPECT_EQ(m_launches, 1);
    EXPECT_GE(ElapsedMinutes(), 5.0);
    EXPECT_LT(ElapsedMinutes(), 5.01);
    EXPECT_FALSE(m_job.m_bRunning);
    EXPECT_EQ(m_job.m_hThread, std::thread::id());
}

TEST_F(IdleWaitTest, BusyMachineGivesUpAfterTheGraceButStampsTheStart) {
    EXPECT_EQ(RunWithLoad([](int) { return 40; }), CJob::ERunResult::GivenUp);
    EXPECT_EQ(m_launches, 0);
    EXPECT_GE(ElapsedMinutes(), 1.0);
    EXPECT_LT(ElapsedMinutes(), 1.01);
    EXPECT_TRUE(m_job.HasLastStart());
    COleDateTime stamped = m_job.GetLastStart();
    EXPECT_EQ(stamped.GetHour(), 13);
    EXPECT_EQ(stamped.GetMinute(), 30);
    EXPECT_EQ(stamped.GetSecond(), 0);
    EXPECT_FALSE(m_job.m_bRunning);
}

TEST_F(IdleWaitTest, AlternatingLoadWaitsToTheEndAndTheLastReadingDecides) {
    for (int first : {40, 20}) {
        m_elapsedMs = 0;
        m_readings = 0;
        m_launches = 0;
        int second = first == 40 ? 20 : 40;
        CJob::ERunResult r = RunWithLoad([=](int i) { return i % 2 ? second : first; });
        EXPECT_GE(ElapsedMinutes(), 5.0);
        EXPECT_EQ(m_launches, m_lastLoad == 20 ? 1 : 0) << "first " << first;
        EXPECT_EQ(r, m_lastLoad == 20 ? CJob::ERunResult::Started : CJob::ERunResult::GivenUp);
    }
}

TEST_F(IdleWaitTest, ThresholdsAreInclusive) {
    // Exactly 33 % is busy: given up after the grace.
    EXPECT_EQ(RunWithLoad([](int) { return 33; }), CJob::ERunResult::GivenUp);
    EXPECT_LT(ElapsedMinutes(), 1.01);
    // 32 % never turns busy.
    m_elapsedMs = 0;
    EXPECT_EQ(RunWithLoad([](int) { return 32; }), CJob::ERunResult::Started);
    // After turning busy, exactly 25 % is quiet again ...
    m_elapsedMs = 0;
    EXPECT_EQ(RunWithLoad([](int i) { return i == 0 ? 90 : 25; }), CJob::ERunResult::Started);
    EXPECT_GE(ElapsedMinutes(), 5.0);
    // ... while 26 % keeps it busy until the grace runs out.
    m_elapsedMs = 0;
    EXPECT_EQ(RunWithLoad([](int i) { return i == 0 ? 90 : 26; }), CJob::ERunResult::GivenUp);
    EXPECT_LT(ElapsedMinutes(), 1.01);
}

TEST_F(IdleWaitTest, ThresholdsComeFromTheJob) {
    m_job.m_nBusyPercent = 50;
    m_job.m_nBusyMinutes = 2;
    EXPECT_EQ(RunWithLoad([](int) { return 45; }), CJob::ERunResult::Started);
    m_elapsedMs = 0;
    EXPECT_EQ(RunWithLoad([](int) { return 50; }), CJob::ERunResult::GivenUp);
    EXPECT_GE(ElapsedMinutes(), 2.0);
    EXPECT_LT(ElapsedMinutes(), 2.01);
}

TEST_F(IdleWaitTest, WithoutAWorkerThreadTheScannerStartsAtOnce) {
    m_loadOf = [](int) { return 100; };
    EXPECT_EQ(m_job.Execute(), CJob::ERunResult::Started);
    EXPECT_EQ(m_readings, 0);
    EXPECT_EQ(m_elapsedMs, 0);
}

TEST_F(IdleWaitTest, ScheduleWithoutIdleOptionDoesNotWait) {
    m_job.SetPeriod(DailyAt(13, 30), m_start);
    EXPECT_EQ(RunWithLoad([](int) { return 100; }), CJob::ERunResult::Started);
    EXPECT_EQ(m_readings, 0);
}

TEST_F(IdleWaitTest, ClearingTheRunningFlagCancelsWithinAPoll) {
    // Real time and real sleeps here; only the load and the launch are fake.
    m_seams.m_now = nullptr;
    m_seams.m_sleep = nullptr;
    m_loadOf = [](int) { return 0; };
    std::atomic<bool> waiting{false};
    m_seams.m_load = [&] {
        waiting = true;
        return 0;
    };
    CJob::ERunResult result = CJob::ERunResult::Started;
    std::thread worker([&] {
        m_job.m_hThread = std::this_thread::get_id();
        result = m_job.Execute();
    });
    while (!waiting)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto cancelled = std::chrono::steady_clock::now();
    m_job.m_bRunning = false;
    worker.join();
    auto took = std::chrono::steady_clock::now() - cancelled;
    EXPECT_LT(took, std::chrono::milliseconds(300));
    EXPECT_EQ(result, CJob::ERunResult::Cancelled);
    EXPECT_EQ(m_launches, 0);
    EXPECT_EQ(m_job.m_hThread, std::thread::id());
}

TEST(JobRun, RunStampsTheStartEvenWhenNothingCanBeStarted) {
    CJob job;
    job.SetPeriod(DailyAt(10, 0), COleDateTime(2026, 1, 1, 0, 0, 0));
    ASSERT_FALSE(job.HasLastStart());
    COleDateTime before = COleDateTime::GetCurrentTime();
    EXPECT_EQ(job.Run(""), 0);
    EXPECT_TRUE(job.HasLastStart());
    EXPECT_FALSE(job.m_bRunning);
    EXPECT_EQ(job.GetLastStart().GetSecond(), 0);
    EXPECT_LE(job.GetLastStart(), before);
    EXPECT_GT(job.GetLastStart(), before - COleDateTimeSpan(0, 0, 2, 0));
    EXPECT_EQ(job.Execute(), CJob::ERunResult::LaunchFailed);
}

TEST(JobRun, CpuStatisticsComeFromTheSystemByDefault) {
    CJob job;
    EXPECT_TRUE(job.StartCpuStats());
    int load = job.GetCpuUsage();
    EXPECT_GE(load, 0);
    EXPECT_LE(load, 100);
    job.StopCpuStats();
    EXPECT_EQ(job.m_pStatKey, nullptr);
}
