#include "Scheduler.h"
#include "AtStartup.h"
#include "Daily.h"
#include "Hourly.h"
#include "JobResult.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "RegInterface.h"
#include "Server.h"
#include "Settings.h"
#include "TempStateRoot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {

CDaily DailyAt(int hour, int minute) {
    CDaily d;
    d.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return d;
}

// A fresh state root with the job key, a server holding the lock, a clock the
// test sets and a launch that only counts.
class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_TRUE(m_store.Open(kJobKeyPath));
        std::string error;
        ASSERT_TRUE(m_server.Start(error)) << error;
        m_client = std::make_unique<CNamedBroadcast>(kClientEventName);
        m_client->Wait(0);
        SetNow(COleDateTime(2026, 12, 7, 13, 30, 20));
    }
    void TearDown() override { m_scheduler.reset(); }

    void SetNow(const COleDateTime& t) { m_now.store(t.m_dt); }
    CScheduler& Scheduler() {
        if (!m_scheduler) {
            CScheduler::Options options;
            options.now = [this] { return COleDateTime(m_now.load()); };
            options.bootId = [this] {
                std::lock_guard<std::mutex> lock(m_mutex);
                return m_boot;
            };
            options.runSeams.m_launch = [this](CJob& job) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_launched.push_back(job.GetName());
                return std::string(job.GetName()) != "Broken"; // a scanner that cannot start
            };
            options.runSeams.m_load = [this] {
                ++m_loadReads;
                return m_load.load();
            };
            options.runSeams.m_sleep = [](int) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            };
            options.log = nullptr;
            m_scheduler = std::make_unique<CScheduler>(options);
        }
        return *m_scheduler;
    }
    std::vector<std::string> Launched() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_launched;
    }
    void AddJob(const char* name, const CPeriod& period, const COleDateTime& ref,
                bool active = true) {
        CJob job;
        job.SetName(name);
        job.SetPeriod(period, ref);
        job.SetActive(active);
        ASSERT_TRUE(m_store.AddJob(job));
    }
    std::unique_ptr<CJob> Read(const char* name) {
        auto job = std::make_unique<CJob>();
        EXPECT_TRUE(m_store.ReadJob(name, job.get()));
        return job;
    }

    CTempStateRoot m_root;
    CRegInterface m_store;
    CServer m_server;
    std::unique_ptr<CNamedBroadcast> m_client;
    std::unique_ptr<CScheduler> m_scheduler;
    std::atomic<double> m_now{0};
    std::atomic<int> m_load{0};
    std::atomic<int> m_loadReads{0};
    std::mutex m_mutex;
    std::string m_boot = "boot-1";
    std::vector<std::string> m_launched;
};

} // namespace

TEST_F(SchedulerTest, DueJobIsStampedWrittenLaunchedAndAnnounced) {
    AddJob("Daily", DailyAt(13, 30), COleDateTime(2026, 12, 7, 12, 0, 0));
    AddJob("Later", DailyAt(13, 45), COleDateTime(2026, 12, 7, 12, 0, 0));
    int waitMs = Scheduler().RunPass(m_server);
    EXPECT_EQ(Launched(), std::vector<std::string>{"Daily"});
    auto stored = Read("Daily");
    EXPECT_TRUE(stored->HasLastStart());
    EXPECT_EQ(stored->GetLastStart(), COleDateTime(2026, 12, 7, 13, 30, 0));
    EXPECT_FALSE(Read("Later")->HasLastStart());
    EXPECT_TRUE(m_client->Wait(0));
    // Sleeps until the earliest next start (13:45 in 14:40), at most a minute.
    EXPECT_EQ(waitMs, CScheduler::kMaxWaitMs);
    SetNow(COleDateTime(2026, 12, 7, 13, 44, 30));
    EXPECT_EQ(Scheduler().RunPass(m_server), 30000);

    // Nothing is due again in the same minute, and nothing is announced.
    SetNow(COleDateTime(2026, 12, 7, 13, 30, 50));
    Scheduler().RunPass(m_server);
    EXPECT_EQ(Launched().size(), 1u);
    EXPECT_FALSE(m_client->Wait(0));
}

TEST_F(SchedulerTest, ScannerThatCannotStartIsTheJobsResult) {
    AddJob("Broken", DailyAt(13, 30), COleDateTime(2026, 12, 7, 12, 0, 0));
    AddJob("Daily", DailyAt(13, 30), COleDateTime(2026, 12, 7, 12, 0, 0));
    m_client->Wait(0);
    Scheduler().RunPass(m_server);
    EXPECT_EQ(Launched(), (std::vector<std::string>{"Broken", "Daily"}));
    CJobResult result;
    ASSERT_TRUE(ReadJobResult("Broken", result));
    EXPECT_EQ(result.GetText(), "nie uruchomiono");
    EXPECT_EQ(result.m_nExitCode, -1);
    // A started scanner writes its own result when it ends; none yet.
    EXPECT_FALSE(ReadJobResult("Daily", result));
    EXPECT_TRUE(m_client->Wait(0));
}

TEST_F(SchedulerTest, InactiveAndIncompleteJobsAreNotStarted) {
    AddJob("Off", DailyAt(13, 0), COleDateTime(2026, 12, 6, 0, 0, 0), false);
    AddJob("NoTime", CDaily(), COleDateTime(2026, 12, 6, 0, 0, 0));
    EXPECT_EQ(Scheduler().RunPass(m_server), CScheduler::kMaxWaitMs);
    EXPECT_TRUE(Launched().empty());
    EXPECT_FALSE(Read("Off")->HasLastStart());
    EXPECT_FALSE(m_client->Wait(0));
}

TEST_F(SchedulerTest, JobMissedManyTimesRunsOnce) {
    CHourly hourly;
    hourly.SetMinute(true, 15);
    AddJob("Hourly", hourly, COleDateTime(2026, 12, 4, 8, 0, 0)); // three days of missed hours
    Scheduler().RunPass(m_server);
    Scheduler().RunPass(m_server);
    EXPECT_EQ(Launched().size(), 1u);
    EXPECT_EQ(Read("Hourly")->GetLastStart(), COleDateTime(2026, 12, 7, 13, 30, 0));
}

TEST_F(SchedulerTest, AtStartupJobsRunOncePerBoot) {
    AddJob("Boot", CAtStartup(), COleDateTime(2026, 12, 1, 0, 0, 0));
    Scheduler().RunPass(m_server);
    Scheduler().RunPass(m_server);
    EXPECT_EQ(Launched().size(), 1u);
    // A restarted server in the same boot does not run it again ...
    m_scheduler.reset();
    Scheduler().RunPass(m_server);
    EXPECT_EQ(Launched().size(), 1u);
    // ... a new boot does.
    m_scheduler.reset();
    m_boot = "boot-2";
    Scheduler().RunPass(m_server);
    EXPECT_EQ(Launched().size(), 2u);
    // The boot is kept beside the job key, not in it: the key holds jobs only.
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kServerKeyPath, kLastBootValue, ""), "boot-2");
    DWORD index = 0;
    CJob job;
    int jobs = 0;
    while (m_store.EnumJob(&index, &job))
        ++jobs;
    EXPECT_EQ(jobs, 1);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(key, kLastBootValue, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(SchedulerTest, IdleJobWaitsOnItsOwnThreadAndIsNotStartedTwice) {
    CDaily idle = DailyAt(13, 30);
    idle.SetIdle(true, 5);
    AddJob("Idle", idle, COleDateTime(2026, 12, 7, 12, 0, 0));
    AddJob("Plain", DailyAt(13, 30), COleDateTime(2026, 12, 7, 12, 0, 0));
    m_load = 100; // busy, and the frozen clock never ends the wait
    Scheduler().RunPass(m_server);
    EXPECT_EQ(Scheduler().WaitingRuns(), 1u);
    EXPECT_EQ(Launched(), std::vector<std::string>{"Plain"}); // not held up by the idle job
    EXPECT_TRUE(Read("Idle")->HasLastStart());

    // Another process puts the waiting job's start back: it is due again,
    // but it is waiting already.
    auto again = Read("Idle");
    again->SetLastStart(COleDateTime(2026, 12, 7, 12, 0, 0), false);
    ASSERT_TRUE(m_store.WriteJob(*again, 3, nullptr));
    Scheduler().RunPass(m_server);
    EXPECT_EQ(Scheduler().WaitingRuns(), 1u);
    EXPECT_FALSE(Read("Idle")->HasLastStart());

    // Stopping cancels the wait quickly; the scanner never starts.
    auto before = std::chrono::steady_clock::now();
    Scheduler().Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_EQ(Scheduler().WaitingRuns(), 0u);
    EXPECT_EQ(Launched(), std::vector<std::string>{"Plain"});
}

TEST_F(SchedulerTest, IdleJobStartsWhenTheMachineIsQuiet) {
    CDaily idle = DailyAt(13, 30);
    idle.SetIdle(true, 1);
    AddJob("Idle", idle, COleDateTime(2026, 12, 7, 12, 0, 0));
    m_load = 0;
    Scheduler().RunPass(m_server);
    while (m_loadReads == 0) // the wait has begun and set its deadline
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(Launched().empty());
    SetNow(COleDateTime(2026, 12, 7, 13, 31, 30)); // the idle minute is over
    for (int i = 0; i < 500 && Launched().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(Launched(), std::vector<std::string>{"Idle"});
}

TEST_F(SchedulerTest, ServerSignalMakesItReadTheKeyAtOnceAndStopEndsIt) {
    std::thread loop([&] { m_server.Run(&Scheduler()); });
    // The first pass finds nothing and waits a full minute ...
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    AddJob("New", DailyAt(13, 30), COleDateTime(2026, 12, 7, 12, 0, 0));
    CNamedEvent("TemporaServer").Set();
    // ... but the signal wakes it.
    for (int i = 0; i < 200 && Launched().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Launched(), std::vector<std::string>{"New"});
    auto before = std::chrono::steady_clock::now();
    m_server.RequestStop();
    loop.join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
}

TEST_F(SchedulerTest, MissingJobKeyWaitsAMinute) {
    ::setenv("RAMPART_ROOT", (m_root.Path() + "/elsewhere").c_str(), 1);
    EXPECT_EQ(Scheduler().RunPass(m_server), CScheduler::kMaxWaitMs);
    EXPECT_TRUE(Launched().empty());
}
