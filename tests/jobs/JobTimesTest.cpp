// The next-start and last-start texts and sort keys, with the clock fixed.
#include "AtStartup.h"
#include "Daily.h"
#include "FixedClock.h"
#include "Job.h"
#include "Once.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// Seconds from 1970-01-01 00:00 to the given wall-clock time, no time zone.
long long WallClockSeconds(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    return static_cast<long long>(timegm(&tm));
}

class JobTimes : public ::testing::Test {
protected:
    void SetUp() override {
        // Date texts in the C locale, whatever the caller's environment.
        setenv("LC_ALL", "C", 1);
        // Next start Wednesday 2026-06-10 12:00, reference time a week before.
        const SYSTEMTIME start = {2026, 6, 4, 10, 12, 0, 0, 0};
        COnce once;
        once.Set(true, &start);
        m_job.SetPeriod(once, COleDateTime(2026, 6, 3, 12, 1, 0));
        m_job.SetActive(true);
    }

    // The countdown text with the clock seconds before the next start.
    std::string CountdownAt(long secondsBefore) {
        m_clock.Set(m_next - secondsBefore);
        return m_job.GetNextStartText(GetResourceHandle(), true);
    }

    CJob m_job;
    // The clock stands an hour before the next start until a test moves it.
    const time_t m_next = LocalTime(2026, 6, 10, 12, 0, 0);
    FixedClock m_clock{m_next - 3600};
};

} // namespace

TEST_F(JobTimes, CountdownRoundsUpToWholeMinutes) {
    EXPECT_EQ(CountdownAt(((24 + 2) * 60 + 4) * 60 + 30), "1 dzień 2 godzin(y) 5 Minut(y)");
    EXPECT_EQ(CountdownAt(59 * 60 + 30), "1 godzina");
    EXPECT_EQ(CountdownAt(45 * 60 + 10), "46 Minut(y)");
    EXPECT_EQ(CountdownAt(2 * 86400 + 20), "2 dni 1 Minuta");
    EXPECT_EQ(CountdownAt(3 * 3600 + 30), "3 godzin(y) 1 Minuta");
    EXPECT_EQ(CountdownAt(1), "1 Minuta");
}

TEST_F(JobTimes, CountdownOnExactUnitsNeedsNoRounding) {
    EXPECT_EQ(CountdownAt(60), "1 Minuta");
    EXPECT_EQ(CountdownAt(2 * 3600), "2 godzin(y)");
    EXPECT_EQ(CountdownAt(86400), "1 dzień");
    EXPECT_EQ(CountdownAt(6 * 86400 + 23 * 3600 + 59 * 60), "6 dni 23 godzin(y) 59 Minut(y)");
    // Every exact minute of the last two hours reads back as itself.
    for (long minutes = 1; minutes < 120; ++minutes) {
        const std::string text = CountdownAt(minutes * 60);
        const long h = minutes / 60, m = minutes % 60;
        std::string expected = h == 0   ? ""
                               : h == 1 ? "1 godzina"
                                        : std::to_string(h) + " godzin(y)";
        if (m > 0) {
            expected += expected.empty() ? "" : " ";
            expected += m == 1 ? "1 Minuta" : std::to_string(m) + " Minut(y)";
        }
        EXPECT_EQ(text, expected) << minutes;
    }
}

TEST_F(JobTimes, DueJobShowsNowAndZeroSeconds) {
    EXPECT_EQ(CountdownAt(0), "teraz");
    EXPECT_EQ(CountdownAt(-300), "teraz");
    EXPECT_EQ(m_job.GetSecondsToNextStart(m_next), 0);
    EXPECT_EQ(m_job.GetSecondsToNextStart(m_next + 86400), 0);
}

TEST_F(JobTimes, SecondsToNextStartAreExact) {
    for (long before : {1L, 59L, 60L, 3599L, 3600L, 86400L, 93870L, 604799L})
        EXPECT_EQ(m_job.GetSecondsToNextStart(m_next - before), before) << before;
}

TEST_F(JobTimes, DateModeShowsTheNextStart) {
    m_clock.Set(m_next - 3600);
    EXPECT_STREQ(m_job.GetNextStartText(GetResourceHandle(), false),
                 "Wednesday 10.June 2026 12:00");
    // Date mode shows the date even when it is due.
    m_clock.Set(m_next + 60);
    EXPECT_STREQ(m_job.GetNextStartText(GetResourceHandle(), false),
                 "Wednesday 10.June 2026 12:00");
}

TEST_F(JobTimes, InactiveJobIsOffInBothModes) {
    m_clock.Set(m_next - 3600);
    m_job.SetActive(false);
    EXPECT_STREQ(m_job.GetNextStartText(GetResourceHandle(), true), "wyłączony");
    EXPECT_STREQ(m_job.GetNextStartText(GetResourceHandle(), false), "wyłączony");
    EXPECT_EQ(m_job.GetSecondsToNextStart(m_next - 3600), -1);

    CJob unscheduled; // switched on, but its schedule has no time
    EXPECT_STREQ(unscheduled.GetNextStartText(GetResourceHandle(), true), "wyłączony");
    EXPECT_EQ(unscheduled.GetSecondsToNextStart(m_next), -1);
}

TEST_F(JobTimes, NoNextStartGivesEmptyText) {
    m_clock.Set(m_next - 3600);
    CJob startup;
    startup.SetPeriod(CAtStartup(), COleDateTime(2026, 6, 3, 12, 0, 0));
    startup.SetActive(true);
    EXPECT_STREQ(startup.GetNextStartText(GetResourceHandle(), true), "");
    EXPECT_STREQ(startup.GetNextStartText(GetResourceHandle(), false), "");
    EXPECT_EQ(startup.GetSecondsToNextStart(m_next), -1);

    // A one-off start that is not after the reference time has passed.
    m_job.SetLastStart(COleDateTime(2026, 6, 10, 12, 0, 0), true);
    EXPECT_STREQ(m_job.GetNextStartText(GetResourceHandle(), true), "");
    EXPECT_EQ(m_job.GetSecondsToNextStart(m_next - 3600), -1);
}

TEST_F(JobTimes, NextStartFollowsTheReferenceTime) {
    CDaily daily;
    int hour = 8, minute = 0;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    CJob job;
    job.SetPeriod(daily, COleDateTime(2026, 6, 10, 7, 30, 0));
    job.SetActive(true);
    // Reference 07:29: next start 08:00 the same day.
    EXPECT_EQ(job.GetSecondsToNextStart(LocalTime(2026, 6, 10, 7, 40, 0)), 20 * 60);
    // A run at 08:00 moves it to the next day; the seconds sort after it.
    job.SetLastStart(COleDateTime(2026, 6, 10, 8, 0, 0), true);
    EXPECT_EQ(job.GetSecondsToNextStart(LocalTime(2026, 6, 10, 8, 0, 5)), 86400 - 5);
    // Not run for days: due now.
    job.SetLastStart(COleDateTime(2026, 6, 1, 8, 0, 0), true);
    EXPECT_EQ(job.GetSecondsToNextStart(LocalTime(2026, 6, 10, 8, 0, 5)), 0);
}

TEST_F(JobTimes, LastStartTextAndSeconds) {
    CJob job;
    EXPECT_STREQ(job.GetLastStartText(), "");
    EXPECT_EQ(job.GetLastStartSeconds(), -1);

    job.SetLastStart(COleDateTime(2026, 6, 1, 8, 0, 0), true);
    EXPECT_STREQ(job.GetLastStartText(), "Monday 01.June 2026 08:00");
    EXPECT_EQ(job.GetLastStartSeconds(), WallClockSeconds(2026, 6, 1, 8, 0));

    job.SetLastStart(COleDateTime(1970, 1, 1, 0, 1, 0), true);
    EXPECT_EQ(job.GetLastStartSeconds(), 60);
    job.SetLastStart(COleDateTime(1969, 12, 31, 23, 0, 0), true);
    EXPECT_EQ(job.GetLastStartSeconds(), -3600);

    // Cleared: the time stays, but it no longer counts as a start.
    job.ClearLastStart();
    EXPECT_STREQ(job.GetLastStartText(), "");
    EXPECT_EQ(job.GetLastStartSeconds(), -1);
}

TEST_F(JobTimes, LastStartSecondsStayInRange) {
    CJob job;
    job.SetLastStart(COleDateTime(2200, 1, 1, 0, 0, 0), true);
    EXPECT_EQ(job.GetLastStartSeconds(), 2147483647);
    job.SetLastStart(COleDateTime(1800, 1, 1, 0, 0, 0), true);
    EXPECT_EQ(job.GetLastStartSeconds(), -2147483647 - 1);
}
