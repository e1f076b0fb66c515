#include "Samples.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>

using namespace std::chrono;

namespace {

std::string Text(const COleDateTime& t) {
    DateFields f;
    if (!t.GetDateFields(f))
        return "unreadable";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour,
                  f.minute, f.second);
    return buf;
}

// The next start from a reference, or "none".
std::string Next(const CPeriod& p, int y, int mo, int d, int h, int mi, int s = 0) {
    COleDateTime t(y, mo, d, h, mi, s);
    const COleDateTime before = t;
    if (!p.GetNextStart(t)) {
        EXPECT_EQ(t, before) << "a failed search must leave the reference alone";
        return "none";
    }
    return Text(t);
}

CDaily Daily(int hour, int minute, const bool days[7]) {
    CDaily daily;
    int flags[7];
    for (int i = 0; i < 7; ++i)
        flags[i] = days[i] ? 1 : 0;
    daily.Set(true, &hour, &minute, &flags[0], &flags[1], &flags[2], &flags[3], &flags[4],
              &flags[5], &flags[6]);
    return daily;
}

constexpr bool kEveryDay[7] = {true, true, true, true, true, true, true};
constexpr bool kWorkDays[7] = {true, true, true, true, true, false, false};

} // namespace

TEST(NextStart, Hourly) {
    CHourly h;
    h.SetMinute(true, 30);
    EXPECT_EQ(Next(h, 1999, 3, 2, 10, 15), "1999-03-02 10:30:00");
    EXPECT_EQ(Next(h, 1999, 3, 2, 10, 30), "1999-03-02 11:30:00");
    EXPECT_EQ(Next(h, 1999, 3, 2, 10, 30, 59), "1999-03-02 11:30:00");
    EXPECT_EQ(Next(h, 1999, 3, 2, 23, 45), "1999-03-03 00:30:00");
    EXPECT_EQ(Next(h, 1999, 12, 31, 23, 31), "2000-01-01 00:30:00");
    EXPECT_EQ(Next(h, 1850, 6, 1, 0, 0), "1850-06-01 00:30:00");
    h.SetMinute(true, 0);
    EXPECT_EQ(Next(h, 1999, 3, 2, 10, 0), "1999-03-02 11:00:00");
    // The reference is read to the nearest second.
    COleDateTime t(COleDateTime(1999, 3, 2, 10, 59, 59).m_dt + 0.7 / 86400);
    ASSERT_TRUE(h.GetNextStart(t));
    EXPECT_EQ(Text(t), "1999-03-02 12:00:00");
}

TEST(NextStart, OnceIgnoresTheReference) {
    const auto once = MakeSample(PERIOD_ONCE); // 1999-03-02 14:00
    EXPECT_EQ(Next(*once, 1990, 1, 1, 0, 0), "1999-03-02 14:00:00");
    EXPECT_EQ(Next(*once, 2020, 1, 1, 0, 0), "1999-03-02 14:00:00");
    COnce bad;
    const SYSTEMTIME st{1999, 2, 0, 30, 14, 0, 0, 0};
    bad.Set(true, &st);
    COleDateTime t(2000, 1, 1, 0, 0, 0);
    ASSERT_TRUE(bad.GetNextStart(t));
    EXPECT_EQ(t.GetStatus(), DateTimeStatus::invalid);
    EXPECT_LE(t, COleDateTime(2000, 1, 1, 0, 0, 0)); // callers read it as no start
}

TEST(NextStart, Daily) {
    const CDaily all = Daily(8, 0, kEveryDay);
    EXPECT_EQ(Next(all, 1999, 3, 2, 7, 59), "1999-03-02 08:00:00"); // Tuesday
    EXPECT_EQ(Next(all, 1999, 3, 2, 8, 0), "1999-03-03 08:00:00");
    EXPECT_EQ(Next(all, 1999, 3, 2, 23, 30), "1999-03-03 08:00:00");
    const CDaily work = Daily(8, 0, kWorkDays);
    EXPECT_EQ(Next(work, 1999, 3, 5, 9, 0), "1999-03-08 08:00:00"); // Friday
    EXPECT_EQ(Next(work, 1999, 3, 6, 7, 0), "1999-03-08 08:00:00"); // Saturday
    EXPECT_EQ(Next(Daily(0, 0, kEveryDay), 1999, 3, 1, 0, 0), "1999-03-02 00:00:00");
    // 24:00 lands on 00:00 after the chosen day.
    const bool sundayOnly[7] = {false, false, false, false, false, false, true};
    EXPECT_EQ(Next(Daily(24, 0, sundayOnly), 1999, 3, 2, 12, 0), "1999-03-08 00:00:00");
}

TEST(NextStart, Weekly) {
    CWeekly monday;
    monday.Set(true, 8, 0, 2);
    EXPECT_EQ(Next(monday, 1999, 3, 8, 7, 0), "1999-03-08 08:00:00");
    EXPECT_EQ(Next(monday, 1999, 3, 8, 8, 0), "1999-03-15 08:00:00");
    EXPECT_EQ(Next(monday, 1999, 3, 9, 12, 0), "1999-03-15 08:00:00");
    EXPECT_EQ(Next(monday, 1999, 3, 7, 23, 59), "1999-03-08 08:00:00");
    EXPECT_EQ(Next(monday, 1899, 12, 30, 9, 0), "1900-01-01 08:00:00");
}

TEST(NextStart, MonthlySkipsMonthsThatLackTheDay) {
    CMonthly m;
    m.Set(true, 8, 0, 15);
    EXPECT_EQ(Next(m, 1999, 3, 15, 7, 0), "1999-03-15 08:00:00");
    EXPECT_EQ(Next(m, 1999, 3, 15, 8, 0), "1999-04-15 08:00:00");
    EXPECT_EQ(Next(m, 1999, 3, 20, 0, 0), "1999-04-15 08:00:00");
    m.Set(true, 8, 0, 31);
    EXPECT_EQ(Next(m, 1999, 4, 10, 0, 0), "1999-05-31 08:00:00");
    EXPECT_EQ(Next(m, 1999, 5, 31, 9, 0), "1999-07-31 08:00:00");
    EXPECT_EQ(Next(m, 1999, 2, 10, 0, 0), "1999-03-31 08:00:00");
    m.Set(true, 8, 0, 29);
    EXPECT_EQ(Next(m, 1999, 2, 1, 0, 0), "1999-03-29 08:00:00");
    EXPECT_EQ(Next(m, 2000, 2, 1, 0, 0), "2000-02-29 08:00:00");
    EXPECT_EQ(Next(m, 1900, 2, 1, 0, 0), "1900-03-29 08:00:00");
    EXPECT_EQ(Next(m, 1800, 2, 1, 0, 0), "1800-03-29 08:00:00");
}

TEST(NextStart, NoStartCases) {
    EXPECT_EQ(Next(CHourly(), 2000, 1, 1, 0, 0), "none");
    EXPECT_EQ(Next(CDaily(), 2000, 1, 1, 0, 0), "none");
    EXPECT_EQ(Next(CWeekly(), 2000, 1, 1, 0, 0), "none");
    EXPECT_EQ(Next(CMonthly(), 2000, 1, 1, 0, 0), "none");
    EXPECT_EQ(Next(COnce(), 2000, 1, 1, 0, 0), "none");
    EXPECT_EQ(Next(*MakeSample(PERIOD_AT_STARTUP), 2000, 1, 1, 0, 0), "none");

    // No weekday chosen: never a start, and no endless search for one.
    const bool none[7] = {};
    EXPECT_EQ(Next(Daily(8, 0, none), 2000, 1, 1, 0, 0), "none");
}

TEST(NextStart, UnreadableReferencesAndTheEndOfTheCalendar) {
    for (PeriodKind kind : {PERIOD_HOURLY, PERIOD_DAILY, PERIOD_WEEKLY, PERIOD_MONTHLY}) {
        const auto p = MakeSample(kind);
        for (COleDateTime ref : {COleDateTime(2000, 2, 30, 0, 0, 0), COleDateTime(1e9)}) {
            const COleDateTime before = ref;
            EXPECT_FALSE(p->GetNextStart(ref)) << kind;
            EXPECT_EQ(ref, before);
        }
        COleDateTime nullRef(2000, 1, 1, 0, 0, 0);
        nullRef.SetStatus(DateTimeStatus::null);
        EXPECT_FALSE(p->GetNextStart(nullRef)) << kind;
        // The next start would lie after 9999-12-31 00:00.
        EXPECT_EQ(Next(*p, 9999, 12, 31, 0, 0), "none") << kind;
    }
    CMonthly day31;
    day31.Set(true, 0, 0, 31);
    EXPECT_EQ(Next(day31, 9999, 12, 30, 12, 0), "9999-12-31 00:00:00");
    EXPECT_EQ(Next(*MakeSample(PERIOD_HOURLY), 100, 1, 2, 0, 0), "0100-01-02 00:30:00");
    // On the first day of the range only 00:00 itself is in range.
    EXPECT_EQ(Next(*MakeSample(PERIOD_HOURLY), 100, 1, 1, 0, 0), "none");
}

namespace {

// Minutes since 1970-01-01 00:00 of a civil time; the oracle works in these.
long MinuteOf(sys_days day, int minuteOfDay) {
    return day.time_since_epoch().count() * 1440L + minuteOfDay;
}

std::string OracleText(long minute) {
    const sys_days day{days{minute >= 0 ? minute / 1440 : -((-minute + 1439) / 1440)}};
    const int m = static_cast<int>(minute - day.time_since_epoch().count() * 1440L);
    const year_month_day ymd{day};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02d:%02d:00", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), m / 60, m % 60);
    return buf;
}

} // namespace

// Random schedules against a brute-force search over the civil calendar: the
// result is the first start minute strictly after the reference minute.
TEST(NextStart, AgreesWithABruteForceSearch) {
    std::mt19937 rng(20240229);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const long first = sys_days{year{101} / 1 / 1}.time_since_epoch().count();
    const long last = sys_days{year{9998} / 1 / 1}.time_since_epoch().count();
    const long near0 = sys_days{year{1800} / 1 / 1}.time_since_epoch().count();
    const long near1 = sys_days{year{2200} / 1 / 1}.time_since_epoch().count();
    int failures = 0;
    for (int i = 0; i < 20000 && failures < 10; ++i) {
        const bool wide = pick(0, 3) == 0;
        const sys_days refDay{days{
            std::uniform_int_distribution<long>(wide ? first : near0, wide ? last : near1)(rng)}};
        const int refSecond = pick(0, 86399);
        const year_month_day ymd{refDay};
        COleDateTime t(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())),
                       refSecond / 3600, refSecond / 60 % 60, refSecond % 60);
        const long refMinute = MinuteOf(refDay, refSecond / 60);

        const int kind = pick(1, 4);
        const int nTime = pick(0, 20) == 0 ? 1440 : pick(0, 1439);
        std::unique_ptr<CPeriod> period;
        std::function<bool(sys_days)> match;
        long expected = 0;
        if (kind == PERIOD_HOURLY) {
            auto h = std::make_unique<CHourly>();
            const int minute = pick(0, 59);
            h->SetMinute(true, minute);
            period = std::move(h);
            expected = refMinute - ((refMinute % 60) + 60) % 60 + minute;
            if (expected <= refMinute)
                expected += 60;
        } else {
            if (kind == PERIOD_DAILY) {
                bool days[7];
                int flags = pick(1, 127);
                for (int d = 0; d < 7; ++d)
                    days[d] = (flags >> d & 1) != 0;
                period = std::make_unique<CDaily>(Daily(nTime / 60, nTime % 60, days));
                match = [=](sys_days d) {
                    return days[(weekday{d}.c_encoding() + 6) % 7]; // Monday first
                };
            } else if (kind == PERIOD_WEEKLY) {
                auto w = std::make_unique<CWeekly>();
                const int dow = pick(1, 7);
                w->Set(true, nTime / 60, nTime % 60, dow);
                period = std::move(w);
                match = [=](sys_days d) { return int(weekday{d}.c_encoding()) + 1 == dow; };
            } else {
                auto m = std::make_unique<CMonthly>();
                const int dom = pick(0, 3) == 0 ? pick(29, 31) : pick(1, 31);
                m->Set(true, nTime / 60, nTime % 60, dom);
                period = std::move(m);
                match = [=](sys_days d) {
                    return unsigned(year_month_day{d}.day()) == unsigned(dom);
                };
            }
            for (sys_days d = refDay;; d += days{1}) {
                if (match(d) && MinuteOf(d, nTime) > refMinute) {
                    expected = MinuteOf(d, nTime);
                    break;
                }
            }
        }
        const bool found = period->GetNextStart(t);
        const std::string got = found ? Text(t) : "none";
        if (got != OracleText(expected)) {
            ADD_FAILURE() << "kind " << kind << " time " << nTime << " reference "
                          << OracleText(refMinute) << ":" << refSecond % 60 << " gave " << got
                          << ", expected " << OracleText(expected);
            ++failures;
        }
    }
}
