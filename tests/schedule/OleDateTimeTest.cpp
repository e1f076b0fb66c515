#include "OleDateTime.h"

#include "ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

using namespace std::chrono;

namespace {

constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};

std::string Fields(const COleDateTime& t) {
    char buf[64];
    t.Format(buf, sizeof buf, "%Y-%m-%d %H:%M:%S");
    return buf;
}

} // namespace

// Every day of the range, each at a different time of day, against the
// standard library's civil calendar: month lengths and, at the start of each
// month, the day count and weekday come from std::chrono. On the first and
// the last day only 00:00 is in range.
TEST(OleDateTime, EveryDayOfTheRangeAgreesWithTheCivilCalendar) {
    long serial = (sys_days{year{100} / January / 1} - kEpoch).count();
    int mismatches = 0;
    for (int y = 100; y <= 9999 && mismatches < 5; ++y) {
        int dayOfYear = 0;
        for (int m = 1; m <= 12; ++m) {
            const sys_days monthStart{year{y} / month(unsigned(m)) / 1};
            ASSERT_EQ((monthStart - kEpoch).count(), serial) << y << "-" << m;
            const int length = int(unsigned((year{y} / month(unsigned(m)) / last).day()));
            int dayOfWeek = int(weekday{monthStart}.c_encoding()) + 1;
            for (int d = 1; d <= length; ++d, ++serial, dayOfWeek = dayOfWeek % 7 + 1) {
                ++dayOfYear;
                const bool inner =
                    serial > COleDateTime::kMinDate && serial < COleDateTime::kMaxDate;
                const int secs = inner ? int(serial * 7919 % 86400 + 86400) % 86400 : 0;
                const int h = secs / 3600, mi = secs / 60 % 60, sec = secs % 60;
                double midnight = -1, dt = -1;
                DateFields f{};
                const bool ok = COleDateTime::DateFromFields(y, m, d, 0, 0, 0, midnight) &&
                                COleDateTime::DateFromFields(y, m, d, h, mi, sec, dt) &&
                                COleDateTime::FieldsFromDate(dt, f);
                if (!ok || midnight != double(serial) || f.year != y || f.month != m ||
                    f.day != d || f.dayOfWeek != dayOfWeek || f.dayOfYear != dayOfYear ||
                    f.hour != h || f.minute != mi || f.second != sec) {
                    ADD_FAILURE() << "day " << y << "-" << m << "-" << d << " at " << secs << "s";
                    ++mismatches;
                }
            }
        }
    }
}

TEST(OleDateTime, WorkedValues) {
    EXPECT_EQ(COleDateTime(1899, 12, 30, 0, 0, 0).m_dt, 0.0);
    EXPECT_EQ(COleDateTime(0.0).GetDayOfWeek(), 7); // a Saturday
    EXPECT_EQ(COleDateTime(1900, 1, 1, 0, 0, 0).m_dt, 2.0);
    EXPECT_EQ(COleDateTime(1970, 1, 1, 0, 0, 0).m_dt, 25569.0);
    EXPECT_EQ(COleDateTime(9999, 12, 31, 0, 0, 0).m_dt, 2958465.0);
    EXPECT_EQ(COleDateTime(100, 1, 1, 0, 0, 0).m_dt, -657434.0);
    EXPECT_EQ(COleDateTime(1899, 12, 29, 6, 0, 0).m_dt, -1.25);
    EXPECT_EQ(Fields(COleDateTime(-1.25)), "1899-12-29 06:00:00");

    COleDateTime def;
    EXPECT_EQ(def.m_dt, 0.0);
    EXPECT_EQ(def.GetStatus(), DateTimeStatus::valid);
}

TEST(OleDateTime, ImpossibleFieldsGiveInvalid) {
    EXPECT_EQ(COleDateTime(1900, 2, 29, 0, 0, 0).GetStatus(), DateTimeStatus::invalid);
    EXPECT_EQ(COleDateTime(2000, 2, 29, 0, 0, 0).GetStatus(), DateTimeStatus::valid);
    EXPECT_EQ(COleDateTime(1999, 13, 1, 0, 0, 0).GetStatus(), DateTimeStatus::invalid);
    EXPECT_EQ(COleDateTime(1999, 4, 31, 0, 0, 0).GetStatus(), DateTimeStatus::invalid);
    EXPECT_EQ(COleDateTime(1999, 4, 30, 24, 0, 0).GetStatus(), DateTimeStatus::invalid);
    EXPECT_EQ(COleDateTime(1999, 4, 30, 23, 60, 0).GetStatus(), DateTimeStatus::invalid);
    EXPECT_EQ(COleDateTime(10000, 1, 1, 0, 0, 0).GetStatus(), DateTimeStatus::invalid);
    // The -1 of a failed getter never forms a date.
    EXPECT_EQ(COleDateTime(-1, -1, -1, 0, 0, 0).GetStatus(), DateTimeStatus::invalid);
    EXPECT_EQ(COleDateTime(2000, 1, 1, -1, 0, 0).GetStatus(), DateTimeStatus::invalid);

    COleDateTime t(2000, 1, 1, 0, 0, 0);
    EXPECT_FALSE(t.SetDateTime(2001, 2, 29, 0, 0, 0));
    EXPECT_EQ(t.GetStatus(), DateTimeStatus::invalid);
    EXPECT_TRUE(t.SetDateTime(2004, 2, 29, 12, 0, 0));
    EXPECT_EQ(t.GetStatus(), DateTimeStatus::valid);
}

TEST(OleDateTime, RangeEndsAndGettersOfBadValues) {
    EXPECT_EQ(COleDateTime(2958465.0).GetStatus(), DateTimeStatus::valid);
    EXPECT_EQ(COleDateTime(2958465.0 + 1.0 / 1440).GetStatus(), DateTimeStatus::invalid);
    EXPECT_EQ(COleDateTime(-657434.0).GetStatus(), DateTimeStatus::valid);
    EXPECT_EQ(COleDateTime(-657434.5).GetStatus(), DateTimeStatus::invalid);

    COleDateTime t(2000, 6, 15, 0, 0, 0);
    t.SetStatus(DateTimeStatus::null);
    EXPECT_EQ(t.GetYear(), -1);
    EXPECT_EQ(t.GetDayOfWeek(), -1);
    char buf[16] = "junk";
    t.Format(buf, sizeof buf, "%Y");
    EXPECT_STREQ(buf, "");

    COleDateTime out(1e7);
    out.SetStatus(DateTimeStatus::valid); // out of range though marked valid
    EXPECT_EQ(out.GetDay(), -1);
}

TEST(OleDateTime, HalfSecondRounding) {
    const double day = COleDateTime(2000, 1, 1, 0, 0, 0).m_dt;
    EXPECT_EQ(Fields(COleDateTime(day + (86399.7 / 86400))), "2000-01-02 00:00:00");
    EXPECT_EQ(Fields(COleDateTime(day + (86399.4 / 86400))), "2000-01-01 23:59:59");
}

TEST(OleDateTime, ArithmeticUsesTheLinearDayCount) {
    const COleDateTime t = COleDateTime(-1.25) + COleDateTimeSpan(0.5);
    EXPECT_EQ(t.m_dt, -1.75);
    EXPECT_EQ(Fields(t), "1899-12-29 18:00:00");
    // Crossing 1899-12-30 in both directions.
    EXPECT_EQ(Fields(COleDateTime(-1.25) + COleDateTimeSpan(1.0)), "1899-12-30 06:00:00");
    EXPECT_EQ(Fields(COleDateTime(0.25) - COleDateTimeSpan(0.5)), "1899-12-29 18:00:00");

    const COleDateTimeSpan diff = COleDateTime(0.25) - COleDateTime(-1.25);
    EXPECT_EQ(diff.m_span, 1.0);
    EXPECT_LT(COleDateTime(-1.25), COleDateTime(-1.75)); // 06:00 before 18:00
    EXPECT_GT(COleDateTime(0.0), COleDateTime(-1.75));

    COleDateTime u(2000, 3, 1, 0, 0, 0);
    u -= COleDateTimeSpan(1, 0, 0, 0);
    EXPECT_EQ(Fields(u), "2000-02-29 00:00:00");
    u += COleDateTimeSpan(0, 36, 0, 0);
    EXPECT_EQ(Fields(u), "2000-03-01 12:00:00");
}

TEST(OleDateTime, StatusRulesOfArithmetic) {
    COleDateTime bad(2000, 2, 30, 0, 0, 0);
    COleDateTimeSpan nullSpan;
    nullSpan.SetStatus(DateTimeStatus::null);
    EXPECT_EQ((bad + nullSpan).GetStatus(), DateTimeStatus::null);
    EXPECT_EQ((bad + COleDateTimeSpan(1.0)).GetStatus(), DateTimeStatus::invalid);
    EXPECT_EQ((COleDateTime(1.0) - bad).GetStatus(), DateTimeStatus::invalid);
    EXPECT_EQ((COleDateTime(9999, 12, 30, 0, 0, 0) + COleDateTimeSpan(2.0)).GetStatus(),
              DateTimeStatus::invalid);
    EXPECT_EQ((COleDateTime(100, 1, 1, 0, 0, 0) - COleDateTimeSpan(1.0)).GetStatus(),
              DateTimeStatus::invalid);

    // A difference is not range-checked; a sum of spans is.
    const COleDateTimeSpan wide =
        COleDateTime(9999, 12, 31, 0, 0, 0) - COleDateTime(100, 1, 1, 0, 0, 0);
    EXPECT_EQ(wide.GetStatus(), DateTimeStatus::valid);
    EXPECT_EQ((wide + COleDateTimeSpan(0.0)).GetStatus(), DateTimeStatus::invalid);
    EXPECT_EQ((COleDateTimeSpan(3615897.0) + COleDateTimeSpan(1.0)).GetStatus(),
              DateTimeStatus::invalid);
    EXPECT_EQ((COleDateTimeSpan(-3615897.0) + COleDateTimeSpan(0.0)).GetStatus(),
              DateTimeStatus::valid);
}

TEST(OleDateTime, ComparisonIgnoresStatus) {
    COleDateTime a(5.0), b(6.0);
    a.SetStatus(DateTimeStatus::invalid);
    EXPECT_LT(a, b);
    EXPECT_LE(a, b);
    EXPECT_GT(b, a);
    EXPECT_GE(b, a);
    EXPECT_FALSE(a < a);
}

TEST(OleDateTimeSpan, Components) {
    const COleDateTimeSpan s(0, 0, 90, 0);
    EXPECT_EQ(s.m_span, 0.0625);
    EXPECT_EQ(s.GetDays(), 0);
    EXPECT_EQ(s.GetHours(), 1);
    EXPECT_EQ(s.GetMinutes(), 30);
    EXPECT_EQ(s.GetSeconds(), 0);
    EXPECT_EQ(s.GetTotalSeconds(), 5400.0);

    const COleDateTimeSpan back(-0.25);
    EXPECT_EQ(back.GetDays(), 0);
    EXPECT_EQ(back.GetHours(), -6);

    const COleDateTimeSpan mixed(1, 2, 4, 30);
    EXPECT_EQ(mixed.GetDays(), 1);
    EXPECT_EQ(mixed.GetHours(), 2);
    EXPECT_EQ(mixed.GetMinutes(), 4);
    EXPECT_EQ(COleDateTimeSpan(1e300).GetDays(), 0); // no undefined conversion
}

TEST(OleDateTime, FromTimeTAndSystemTime) {
    {
        CScopedTimeZone utc("UTC");
        EXPECT_EQ(COleDateTime(time_t{0}).m_dt, 25569.0);
    }
    {
        CScopedTimeZone cet("CET-1");
        EXPECT_EQ(Fields(COleDateTime(time_t{86400 + 3600 * 10})), "1970-01-02 11:00:00");
    }
    SYSTEMTIME st{2024, 2, 0, 29, 13, 45, 12, 999};
    EXPECT_EQ(Fields(COleDateTime(st)), "2024-02-29 13:45:12");
    st.wDay = 30;
    COleDateTime t;
    t = st;
    EXPECT_EQ(t.GetStatus(), DateTimeStatus::invalid);

    SYSTEMTIME out{};
    ASSERT_TRUE(COleDateTime(2024, 3, 3, 8, 5, 0).GetAsSystemTime(out));
    EXPECT_EQ(out.wDayOfWeek, 1); // Sunday
    EXPECT_EQ(out.wDay, 3);
    EXPECT_EQ(out.wMinute, 5);
}

TEST(OleDateTime, FormatFailsToEmptyText) {
    const COleDateTime t(1999, 3, 2, 14, 0, 0);
    char small[4] = "xyz";
    t.Format(small, sizeof small, "%Y-%m-%d"); // does not fit
    EXPECT_STREQ(small, "");
    char buf[32];
    t.Format(buf, sizeof buf, "%j %w");
    EXPECT_STREQ(buf, "061 2");
    COleDateTime(100, 1, 1, 0, 0, 0).Format(buf, sizeof buf, "%Y-%m-%d");
    EXPECT_STREQ(buf, "100-01-01");
}
