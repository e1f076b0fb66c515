#include "Samples.h"

#include <gtest/gtest.h>

TEST(Period, CopyFromTakesKindFieldsOnlyFromTheSameClass) {
    const auto daily = MakeSample(PERIOD_DAILY); // idle true, 30
    CHourly hourly;
    hourly.SetMinute(true, 10);
    hourly.CopyFrom(*daily);
    EXPECT_EQ(hourly.GetMinute(), 10);
    EXPECT_TRUE(hourly.GetIdle());
    EXPECT_EQ(hourly.GetIdleMinutes(), 30);

    CDaily other;
    EXPECT_EQ(&other.Assign(*daily), &other);
    EXPECT_TRUE(other.IsEqual(*daily));
}

TEST(Period, EqualityRules) {
    CHourly a, b;
    a.SetIdle(false, 3);
    EXPECT_FALSE(a.IsEqual(b)); // both unset, idle minutes differ
    b.SetIdle(false, 3);
    EXPECT_TRUE(a.IsEqual(b));
    a.SetMinute(false, 25); // still unset: nothing else is compared
    EXPECT_TRUE(a.IsEqual(b));
    a.SetMinute(true, 25);
    EXPECT_FALSE(a.IsEqual(b)); // validity differs
    b.SetMinute(true, 26);
    EXPECT_FALSE(a.IsEqual(b));

    EXPECT_FALSE(CWeekly().IsEqual(CMonthly())); // same shape, other class

    COnce x, y;
    SYSTEMTIME st{1999, 3, 3, 2, 14, 0, 0, 0};
    x.Set(true, &st);
    st.wDayOfWeek = 4;
    y.Set(true, &st);
    EXPECT_FALSE(x.IsEqual(y)); // the carried day of week counts

    CAtStartup s1, s2;
    s2.SetIdle(false, 2);
    EXPECT_FALSE(s1.IsEqual(s2));

    CDaily d1, d2;
    const int off = 0;
    d2.Set(false, nullptr, nullptr, &off, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(d1.IsEqual(d2)); // both unset: the flags are not compared
}

TEST(Period, CloneKeepsClassAndFields) {
    for (PeriodKind kind : kAllKinds) {
        const auto sample = MakeSample(kind);
        std::unique_ptr<CPeriod> copy(sample->Clone());
        EXPECT_EQ(copy->GetKind(), kind);
        EXPECT_TRUE(copy->IsEqual(*sample));
        EXPECT_EQ(StoredForm(*copy), StoredForm(*sample));
        EXPECT_EQ(copy->IsAtStartup(), kind == PERIOD_AT_STARTUP);
    }
}

TEST(Period, DefaultsAndValidity) {
    EXPECT_FALSE(COnce().IsValid());
    EXPECT_FALSE(CHourly().IsValid());
    EXPECT_FALSE(CDaily().IsValid());
    EXPECT_FALSE(CWeekly().IsValid());
    EXPECT_FALSE(CMonthly().IsValid());
    EXPECT_TRUE(CAtStartup().IsValid());
    EXPECT_EQ(CHourly().GetIdleMinutes(), 1);
    EXPECT_FALSE(CHourly().GetIdle());

    CHourly h;
    h.SetMinute(true, 60);
    EXPECT_FALSE(h.IsValid());
    EXPECT_EQ(h.GetMinute(), 0);
    h.SetMinute(true, 59);
    EXPECT_EQ(h.GetMinute(), 59);

    CDaily d;
    const int hour = 24, minute = 0;
    d.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(d.IsValid()); // 1440 is accepted
    const int late = 1;
    d.Set(true, &hour, &late, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(d.IsValid());

    CMonthly m;
    m.Set(true, 8, 0, 32);
    EXPECT_FALSE(m.IsValid());
    m.Set(true, 8, 0, 31);
    EXPECT_TRUE(m.IsValid());
    CWeekly w;
    w.Set(true, 8, 0, 8);
    EXPECT_FALSE(w.IsValid());
    EXPECT_EQ(CPeriod::Create(static_cast<PeriodKind>(6)), nullptr);
}

TEST(Period, Accessors) {
    COnce once;
    SYSTEMTIME st{2000, 1, 7, 1, 0, 0, 0, 0}, out{1, 1, 1, 1, 1, 1, 1, 1};
    once.Set(false, &st);
    once.Get(&out);
    EXPECT_EQ(out.wYear, 1); // not valid: left alone
    once.Set(true, nullptr);
    once.Get(&out);
    EXPECT_EQ(out.wYear, 2000);

    // Unset with weekday pointers: the flags still change, the time does not set.
    CDaily daily;
    const int hour = 8, minute = 0, off = 0, on = 5;
    daily.Set(false, &hour, &minute, &off, nullptr, nullptr, nullptr, nullptr, &on, &off);
    EXPECT_FALSE(daily.IsValid());
    int h = -7, m = -7, mon = -1, tue = -1, sat = -1, sun = -1;
    daily.Get(&h, &m, &mon, &tue, nullptr, nullptr, nullptr, &sat, &sun);
    EXPECT_EQ(h, -7);
    EXPECT_EQ(m, -7);
    EXPECT_EQ(mon, 0);
    EXPECT_EQ(tue, 1);
    EXPECT_EQ(sat, 1);
    EXPECT_EQ(sun, 0);
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    daily.Get(&h, &m, &mon, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(m, 0);
    EXPECT_EQ(mon, 0);

    CWeekly weekly;
    weekly.Set(true, 9, 15, 2);
    weekly.Set(false, 9, 15, 2);
    int day = -5;
    weekly.Get(nullptr, nullptr, &day);
    EXPECT_EQ(day, -5);
    EXPECT_FALSE(weekly.IsValid());
    CMonthly monthly;
    monthly.Set(true, 23, 59, 31);
    monthly.Get(&h, &m, &day);
    EXPECT_EQ(h * 100 + m, 2359);
    EXPECT_EQ(day, 31);
}
