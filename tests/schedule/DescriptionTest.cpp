#include "Clock.h"
#include "Samples.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Descriptions follow LC_TIME of the environment; each test picks one and
// the clock and time zone are fixed so the weekly sample date is known.
class Description : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("LC_ALL");
        setenv("LC_TIME", "C", 1);
        setenv("TZ", "UTC", 1);
        tzset();
        SetCurrentTimeForTesting(920332800); // 1999-03-02 00:00 UTC, a Tuesday
    }
    void TearDown() override {
        SetCurrentTimeForTesting(std::nullopt);
        setlocale(LC_TIME, "C");
    }

    bool UsePolishNames() {
        if (setlocale(LC_TIME, "pl_PL.UTF-8") == nullptr)
            return false;
        setenv("LC_TIME", "pl_PL.UTF-8", 1);
        return true;
    }

    static std::string Describe(const CPeriod& p, HINSTANCE hRes, int size = 260) {
        char buf[260];
        std::memset(buf, 'x', sizeof buf);
        p.GetDescription(hRes, buf, size);
        return buf;
    }

    static CDaily DailyAt0805(bool sunday) {
        CDaily d;
        const int h = 8, m = 5, sun = sunday ? 1 : 0;
        d.Set(true, &h, &m, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &sun);
        return d;
    }
};

const HINSTANCE kPolish = GetResourceHandle();

} // namespace

TEST_F(Description, BuiltInDefaults) {
    EXPECT_EQ(Describe(*MakeSample(PERIOD_ONCE), nullptr), "Tuesday 02.March 1999 14:00");
    EXPECT_EQ(Describe(*MakeSample(PERIOD_HOURLY), nullptr), "30 Minuten nach jeder vollen Stunde");
    EXPECT_EQ(Describe(DailyAt0805(true), nullptr), "08:05 jeden Tag");
    EXPECT_EQ(Describe(DailyAt0805(false), nullptr), "08:05 fast jeden Tag");
    EXPECT_EQ(Describe(*MakeSample(PERIOD_WEEKLY), nullptr), "08:00 jeden Monday");
    EXPECT_EQ(Describe(*MakeSample(PERIOD_MONTHLY), nullptr), "08:30 jeden 31.Tag des Monats");
    EXPECT_EQ(Describe(CAtStartup(), nullptr), "Systemstart");
}

TEST_F(Description, StringTable) {
    EXPECT_EQ(Describe(*MakeSample(PERIOD_ONCE), kPolish), "Tuesday 02.March 1999 14:00");
    CHourly one;
    one.SetMinute(true, 1);
    EXPECT_EQ(Describe(one, kPolish), "1 minut po każdej pełnej godzinie");
    EXPECT_EQ(Describe(DailyAt0805(true), kPolish), "08:05  każdego dnia");
    EXPECT_EQ(Describe(DailyAt0805(false), kPolish), "08:05 prawie każdego dnia");
    EXPECT_EQ(Describe(*MakeSample(PERIOD_WEEKLY), kPolish), "08:00 każdy(a) Monday");
    CMonthly fifth;
    fifth.Set(true, 8, 30, 5);
    EXPECT_EQ(Describe(fifth, kPolish), "08:30 każdego 5.dnia miesiąca");
    EXPECT_EQ(Describe(CAtStartup(), kPolish), "Start systemu");
}

TEST_F(Description, PolishLocaleNames) {
    if (!UsePolishNames())
        GTEST_SKIP() << "locale pl_PL.UTF-8 is not installed (scripts/deps generates it)";
    EXPECT_EQ(Describe(*MakeSample(PERIOD_ONCE), kPolish), "wtorek 02.marca 1999 14:00");
    EXPECT_EQ(Describe(*MakeSample(PERIOD_WEEKLY), kPolish), "08:00 każdy(a) poniedziałek");
}

TEST_F(Description, NotValidGivesEmptyText) {
    for (PeriodKind kind : kAllKinds) {
        if (kind != PERIOD_AT_STARTUP) {
            EXPECT_EQ(Describe(*CPeriod::Create(kind), kPolish), "") << kind;
        }
    }
}

TEST_F(Description, WeeklySampleDate) {
    CWeekly tuesday;
    tuesday.Set(true, 23, 59, 3);
    EXPECT_EQ(Describe(tuesday, nullptr), "23:59 jeden Tuesday"); // today counts
    tuesday.Set(true, 24, 0, 3);
    EXPECT_EQ(Describe(tuesday, nullptr), "00:00 jeden Wednesday"); // 24:00 runs into the next day

    // A clock beyond the calendar's end has no sample date: the text is empty.
    SetCurrentTimeForTesting(400000000000);
    EXPECT_EQ(Describe(*MakeSample(PERIOD_WEEKLY), nullptr), "");
    // 9999-12-31 is a Friday; the next Monday lies beyond the range.
    SetCurrentTimeForTesting(253402214400);
    EXPECT_EQ(Describe(*MakeSample(PERIOD_WEEKLY), nullptr), "");
}

TEST_F(Description, SmallBuffersAreNeverOverrun) {
    for (PeriodKind kind : kAllKinds) {
        char buf[8];
        std::memset(buf, 'x', sizeof buf);
        MakeSample(kind)->GetDescription(kPolish, buf, 5);
        EXPECT_LT(std::strlen(buf), 5u) << kind;
        EXPECT_EQ(buf[5], 'x') << kind;
        MakeSample(kind)->GetDescription(kPolish, buf, 0); // no room at all: nothing written
        MakeSample(kind)->GetDescription(kPolish, nullptr, 260);
    }
}
