// The schedule across the daylight-saving changes of Europe/Warsaw and with
// the clock moved, driven through the fixed clock: the real server loop, the
// job store in a temporary state root, and the countdown texts.
#include "Daily.h"
#include "FixedClock.h"
#include "Hourly.h"
#include "LocalInstant.h"
#include "Once.h"
#include "RegInterface.h"
#include "Scheduler.h"
#include "Server.h"
#include "TempStateRoot.h"

#include "ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

time_t Utc(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    return timegm(&tm);
}

CDaily DailyAt(int hour, int minute) {
    CDaily d;
    d.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return d;
}

CHourly HourlyAt(int minute) {
    CHourly h;
    h.SetMinute(true, minute);
    return h;
}

COnce OnceAt(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
    const SYSTEMTIME st = {year, month, 0, day, hour, minute, 0, 0};
    COnce once;
    once.Set(true, &st);
    return once;
}

// Every test here runs in Polish local time, whatever the machine's zone.
class ClockChange : public ::testing::Test {
protected:
    void SetUp() override { setenv("LC_ALL", "C", 1); }

    CScopedTimeZone m_zone{"Europe/Warsaw"};
};

// The server loop on a store of its own; the clock is the fixed one, so the
// server sees instants, as it does with the real clock.
class ServerClockChange : public ClockChange {
protected:
    void SetUp() override {
        ClockChange::SetUp();
        ASSERT_TRUE(m_root.IsValid());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_TRUE(m_store.Open(kJobKeyPath));
        std::string error;
        ASSERT_TRUE(m_server.Start(error)) << error;
        m_log = std::tmpfile();
        ASSERT_NE(m_log, nullptr);
        CScheduler::Options options;
        options.bootId = [] { return std::string("boot"); };
        options.runSeams.m_launch = [this](CJob& job) {
            m_launched.push_back(std::string(job.GetName()) + " " + IsoLocalTime(CurrentTime()));
            return true;
        };
        options.log = m_log;
        m_scheduler = std::make_unique<CScheduler>(options);
    }
    void TearDown() override {
        m_scheduler.reset();
        if (m_log != nullptr)
            std::fclose(m_log);
        ClockChange::TearDown();
    }

    void AddJob(const char* name, const CPeriod& period, const COleDateTime& ref) {
        CJob job;
        job.SetName(name);
        job.SetPeriod(period, ref);
        ASSERT_TRUE(m_store.AddJob(job));
    }
    // One pass a minute from `from` for `minutes` real minutes.
    void RunMinutes(time_t from, int minutes) {
        for (int i = 0; i < minutes; ++i) {
            m_clock.Set(from + 60 * i);
            m_scheduler->RunPass(m_server);
        }
    }
    std::vector<std::string> Starts(const std::string& name) const {
        std::vector<std::string> out;
        for (const std::string& entry : m_launched)
            if (entry.compare(0, name.size() + 1, name + " ") == 0)
                out.push_back(entry.substr(name.size() + 1));
        return out;
    }
    std::string Log() const {
        std::string text;
        std::rewind(m_log);
        char buf[256];
        while (std::fgets(buf, sizeof buf, m_log) != nullptr)
            text += buf;
        return text;
    }

    CTempStateRoot m_root;
    CRegInterface m_store;
    CServer m_server;
    FixedClock m_clock{0};
    std::FILE* m_log = nullptr;
    std::unique_ptr<CScheduler> m_scheduler;
    std::vector<std::string> m_launched;
};

} // namespace

TEST_F(ServerClockChange, SpringChangeHourlyOncePerRealHourSkippedStartsAtTheChange) {
    const COleDateTime ref(2026, 3, 29, 0, 1, 0);
    AddJob("Hourly", HourlyAt(30), ref);
    AddJob("Daily", DailyAt(2, 30), ref);
    AddJob("Once", OnceAt(2026, 3, 29, 2, 30), ref);
    RunMinutes(Utc(2026, 3, 28, 23, 0), 5 * 60); // 00:00 CET to 05:59 CEST
    EXPECT_EQ(Starts("Hourly"),
              (std::vector<std::string>{"2026-03-29T00:30:00+01:00", "2026-03-29T01:30:00+01:00",
                                        "2026-03-29T03:30:00+02:00", "2026-03-29T04:30:00+02:00",
                                        "2026-03-29T05:30:00+02:00"}));
    EXPECT_EQ(Starts("Daily"), std::vector<std::string>{"2026-03-29T03:00:00+02:00"});
    EXPECT_EQ(Starts("Once"), std::vector<std::string>{"2026-03-29T03:00:00+02:00"});
}

TEST_F(ServerClockChange, AutumnChangeHourlyRunsInBothPassesOthersOnceWithOffsetsInTheLog) {
    const COleDateTime ref(2026, 10, 25, 0, 1, 0);
    AddJob("Hourly", HourlyAt(30), ref);
    AddJob("Daily", DailyAt(2, 30), ref);
    AddJob("Once", OnceAt(2026, 10, 25, 2, 30), ref);
    RunMinutes(Utc(2026, 10, 24, 22, 0), 6 * 60); // 00:00 CEST to 04:59 CET
    EXPECT_EQ(Starts("Hourly"),
              (std::vector<std::string>{"2026-10-25T00:30:00+02:00", "2026-10-25T01:30:00+02:00",
                                        "2026-10-25T02:30:00+02:00", "2026-10-25T02:30:00+01:00",
                                        "2026-10-25T03:30:00+01:00", "2026-10-25T04:30:00+01:00"}));
    EXPECT_EQ(Starts("Daily"), std::vector<std::string>{"2026-10-25T02:30:00+02:00"});
    EXPECT_EQ(Starts("Once"), std::vector<std::string>{"2026-10-25T02:30:00+02:00"});
    const std::string log = Log();
    EXPECT_NE(log.find("vexserv: 2026-10-25T02:30:00+02:00 start \"Hourly\""), std::string::npos)
        << log;
    EXPECT_NE(log.find("vexserv: 2026-10-25T02:30:00+01:00 start \"Hourly\""), std::string::npos)
        << log;
}

TEST_F(ServerClockChange, ClockThatRanAheadDoesNotStallJobs) {
    AddJob("Hourly", HourlyAt(15), COleDateTime(2026, 12, 8, 12, 0, 0));
    AddJob("Once", OnceAt(2026, 12, 20, 10, 0), COleDateTime(2026, 12, 8, 12, 0, 0));
    // One pass with the clock 30 days fast runs both ...
    RunMinutes(LocalTime(2027, 1, 7, 13, 30), 1);
    ASSERT_EQ(m_launched.size(), 2u);
    // ... and once it is set right, the hourly job runs at its next hour,
    // while the one-off, whose stamp lies after its time, has run.
    m_clock.Set(LocalTime(2026, 12, 8, 13, 40));
    CJob job;
    ASSERT_TRUE(m_store.ReadJob("Hourly", &job));
    EXPECT_EQ(job.GetSecondsToNextStart(m_clock.Now()), 35 * 60);
    EXPECT_STREQ(job.GetNextStartText(GetResourceHandle(), true), "35 Minut(y)");
    ASSERT_TRUE(m_store.ReadJob("Once", &job));
    EXPECT_EQ(job.GetSecondsToNextStart(m_clock.Now()), -1);
    RunMinutes(LocalTime(2026, 12, 8, 13, 40), 40);
    EXPECT_EQ(Starts("Hourly"),
              (std::vector<std::string>{"2027-01-07T13:30:00+01:00", "2026-12-08T14:15:00+01:00"}));
    EXPECT_EQ(Starts("Once").size(), 1u);
}

TEST_F(ServerClockChange, JobSwitchedBackOnHasMissedNothing) {
    AddJob("Daily", DailyAt(8, 0), COleDateTime(2026, 11, 1, 12, 0, 0));
    AddJob("Missed", DailyAt(8, 0), COleDateTime(2026, 11, 1, 12, 0, 0));
    ASSERT_TRUE(m_store.SetJobActive("Daily", false));
    m_clock.Set(LocalTime(2026, 12, 8, 12, 0));
    ASSERT_TRUE(m_store.SetJobActive("Daily", true));
    RunMinutes(LocalTime(2026, 12, 8, 12, 0), 2);
    // Catch-up stays for a job that was on while it missed its time.
    EXPECT_EQ(Starts("Missed"), std::vector<std::string>{"2026-12-08T12:00:00+01:00"});
    EXPECT_TRUE(Starts("Daily").empty());
    CJob job;
    ASSERT_TRUE(m_store.ReadJob("Daily", &job));
    EXPECT_EQ(job.GetSecondsToNextStart(LocalTime(2026, 12, 8, 12, 0)), 20 * 3600);
}

TEST_F(ClockChange, CountdownIsRealElapsedTime) {
    CJob daily;
    daily.SetPeriod(DailyAt(3, 0), COleDateTime(2026, 3, 28, 12, 0, 0));
    CJob skipped;
    skipped.SetPeriod(DailyAt(2, 30), COleDateTime(2026, 3, 28, 12, 0, 0));
    FixedClock clock(Utc(2026, 3, 29, 0, 27)); // 01:27 CET
    const HINSTANCE hRes = GetResourceHandle();
    EXPECT_STREQ(daily.GetNextStartText(hRes, true), "33 Minut(y)");
    EXPECT_EQ(daily.GetSecondsToNextStart(clock.Now()), 33 * 60);
    // A start in the skipped hour comes at the change, and says so.
    EXPECT_STREQ(skipped.GetNextStartText(hRes, true), "33 Minut(y)");
    EXPECT_STREQ(skipped.GetNextStartText(hRes, false), "Sunday 29.March 2026 03:00");

    // Autumn: from 01:50 CEST to 03:30 CET is 2 hours 40 minutes.
    CJob autumn;
    autumn.SetPeriod(DailyAt(3, 30), COleDateTime(2026, 10, 24, 12, 0, 0));
    clock.Set(Utc(2026, 10, 24, 23, 50));
    EXPECT_STREQ(autumn.GetNextStartText(hRes, true), "2 godzin(y) 40 Minut(y)");
}

TEST_F(ClockChange, StampInTheRepeatedHourKeepsItsPassThroughTheStore) {
    CJob job;
    job.SetPeriod(HourlyAt(30), COleDateTime(2026, 10, 24, 12, 0, 0));
    job.SetLastStartAt(Utc(2026, 10, 25, 1, 30), true); // 02:30 CET, the second pass
    CJob copy;
    const std::vector<BYTE> bytes = job.Store();
    ASSERT_TRUE(copy.Load(bytes.data(), bytes.size()));
    EXPECT_EQ(copy.GetLastStart(), COleDateTime(2026, 10, 25, 2, 30, 0));
    EXPECT_EQ(copy.GetLastStartInstant(), Utc(2026, 10, 25, 1, 30));
    FixedClock clock(Utc(2026, 10, 25, 1, 40));
    EXPECT_EQ(copy.GetSecondsToNextStart(clock.Now()), 50 * 60);
    // The first pass stamps as before: milliseconds 0.
    job.SetLastStartAt(Utc(2026, 10, 25, 0, 30), true);
    EXPECT_EQ(job.GetLastStartInstant(), Utc(2026, 10, 25, 0, 30));
    EXPECT_EQ(job.Store(), [] {
        CJob plain;
        plain.SetPeriod(HourlyAt(30), COleDateTime(2026, 10, 24, 12, 0, 0));
        plain.SetLastStart(COleDateTime(2026, 10, 25, 2, 30, 0), true);
        return plain.Store();
    }());
}
