#include "Job.h"
#include "AtStartup.h"
#include "Daily.h"
#include "Hourly.h"
#include "Monthly.h"
#include "Once.h"
#include "Weekly.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Job "Test": active, reference time Monday 2026-12-07 13:19, not started,
// daily at 13:30 on every day, default options scanning "C:\".
const std::vector<BYTE> kTestJobBytes = {
    0x05, 0x00, 0x00, 0x00, 0x54, 0x65, 0x73, 0x74, 0x00, 0x01, 0xea, 0x07, 0x0c, 0x00,
    0x02, 0x00, 0x07, 0x00, 0x0d, 0x00, 0x13, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0d,
    0x00, 0x00, 0x00, 0x63, 0x6c, 0x61, 0x73, 0x73, 0x20, 0x43, 0x44, 0x61, 0x69, 0x6c,
    0x79, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x2a, 0x03, 0x00, 0x00, 0x01, 0x01, 0x01,
    0x01, 0x01, 0x01, 0x01, 0x04, 0x00, 0x00, 0x00, 0x43, 0x3a, 0x5c, 0x00, 0x01, 0x01,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00};

CDaily DailyAt(int hour, int minute) {
    CDaily daily;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return daily;
}

} // namespace

TEST(Job, NewJobIsSwitchedOnButNotActiveUntilItHasASchedule) {
    CJob job;
    EXPECT_STREQ(job.GetName(), "");
    EXPECT_STREQ(job.GetDirectory(), "/");
    EXPECT_EQ(job.GetRowIndex(), -1);
    EXPECT_FALSE(job.HasLastStart());
    ASSERT_NE(job.GetPeriod(), nullptr);
    EXPECT_EQ(job.GetPeriod()->GetKind(), PERIOD_DAILY);
    EXPECT_FALSE(job.IsPeriodValid());
    EXPECT_FALSE(job.IsActive());
    EXPECT_FALSE(job.m_bRunning);
    EXPECT_EQ(job.m_nBusyPercent, 33);
    EXPECT_EQ(job.m_nBusyMinutes, 1);
    EXPECT_EQ(job.m_nIdlePercent, 25);
}

TEST(Job, ActiveNeedsTheSwitchAndAValidSchedule) {
    CJob job;
    // Switch on, schedule incomplete: refused, but the switch stays on.
    EXPECT_FALSE(job.SetActive(true));
    EXPECT_FALSE(job.IsActive());
    // Switching off always succeeds.
    EXPECT_TRUE(job.SetActive(false));
    EXPECT_FALSE(job.IsActive());

    job.SetPeriod(DailyAt(8, 0), COleDateTime(2026, 12, 7, 10, 0, 0));
    EXPECT_TRUE(job.IsPeriodValid());
    EXPECT_FALSE(job.IsActive()); // switch still off
    EXPECT_TRUE(job.SetActive(true));
    EXPECT_TRUE(job.IsActive());
    EXPECT_TRUE(job.SetActive(false));
    EXPECT_FALSE(job.IsActive());

    // The switch stayed on from the refused SetActive(true) above.
    CJob other;
    other.SetActive(true);
    other.SetPeriod(DailyAt(8, 0), COleDateTime(2026, 12, 7, 10, 0, 0));
    EXPECT_TRUE(other.IsActive());
}

TEST(Job, SetNameKeepsAtMost259BytesAndWholeCharacters) {
    CJob job;
    job.SetName(std::string(300, 'a').c_str());
    EXPECT_EQ(std::string(job.GetName()), std::string(259, 'a'));
    job.SetName(std::string(259, 'b').c_str());
    EXPECT_EQ(std::string(job.GetName()), std::string(259, 'b'));
    job.SetName(nullptr);
    EXPECT_STREQ(job.GetName(), "");

    // "ą" is two bytes; a cut at 259 would split the last one.
    std::string polish;
    for (int i = 0; i < 150; ++i)
        polish += "ą";
    job.SetName(polish.c_str());
    EXPECT_EQ(std::string(job.GetName()), polish.substr(0, 258));

    // Three- and four-byte characters ending right after the cut.
    for (const std::string tail : {"€", "𝄞"}) {
        for (size_t lead = 256; lead <= 259; ++lead) {
            const std::string name = std::string(lead, 'x') + tail + "yz";
            job.SetName(name.c_str());
            const std::string kept = job.GetName();
            EXPECT_LE(kept.size(), 259u);
            const size_t expected = lead + tail.size() <= 259 ? lead + tail.size() : lead;
            EXPECT_EQ(kept, name.substr(0, expected)) << lead << " " << tail;
        }
    }
}

TEST(Job, SetPeriodClonesTheScheduleAndStampsOneMinuteBefore) {
    CJob job;
    job.SetLastStart(COleDateTime(2026, 1, 1, 9, 0, 0), true);
    ASSERT_TRUE(job.HasLastStart());

    CDaily daily = DailyAt(13, 30);
    job.SetPeriod(daily, COleDateTime(2026, 12, 7, 13, 20, 45));
    EXPECT_NE(job.GetPeriod(), &daily);
    EXPECT_TRUE(job.GetPeriod()->IsEqual(daily));
    EXPECT_FALSE(job.HasLastStart());

    // 2026-12-07 13:19:00, a Monday (day of week 2).
    const std::vector<BYTE> bytes = job.Store();
    const std::vector<BYTE> lastStart(bytes.begin() + 6, bytes.begin() + 22);
    const std::vector<BYTE> expected = {0xea, 0x07, 0x0c, 0x00, 0x02, 0x00, 0x07, 0x00,
                                        0x0d, 0x00, 0x13, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(lastStart, expected);
    EXPECT_EQ(bytes[22], 0); // has-started flag

    // Changing the caller's object afterwards does not reach the job.
    int hour = 5, minute = 0;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(job.GetPeriod()->IsEqual(daily));
}

TEST(Job, SetPeriodOverMidnightAndNewYear) {
    CJob job;
    job.SetPeriod(CAtStartup(), COleDateTime(2027, 1, 1, 0, 0, 30));
    const COleDateTime last = job.GetLastStart();
    EXPECT_EQ(last.GetYear(), 2026);
    EXPECT_EQ(last.GetMonth(), 12);
    EXPECT_EQ(last.GetDay(), 31);
    EXPECT_EQ(last.GetHour(), 23);
    EXPECT_EQ(last.GetMinute(), 59);
    EXPECT_EQ(last.GetSecond(), 0);
}

TEST(Job, TestJobStoresAsTheKnownBytes) {
    CJob job;
    job.SetName("Test");
    job.SetPeriod(DailyAt(13, 30), COleDateTime(2026, 12, 7, 13, 20, 0));
    job.SetActive(true);
    job.GetScanParameter().m_strDirectory = "C:\\";

    EXPECT_EQ(job.GetStoreSize(), 98);
    EXPECT_EQ(job.Store(), kTestJobBytes);

    BYTE* raw = nullptr;
    const int size = job.Store(raw);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(std::vector<BYTE>(raw, raw + size), kTestJobBytes);
    delete[] raw;
}

TEST(Job, TestJobLoadsBackExactly) {
    CJob job;
    ASSERT_TRUE(job.Load(kTestJobBytes.data(), kTestJobBytes.size()));
    EXPECT_STREQ(job.GetName(), "Test");
    EXPECT_TRUE(job.IsActive());
    EXPECT_FALSE(job.HasLastStart());
    const COleDateTime last = job.GetLastStart();
    EXPECT_EQ(last, COleDateTime(2026, 12, 7, 13, 19, 0));
    EXPECT_TRUE(job.GetPeriod()->IsEqual(DailyAt(13, 30)));
    CScanParameter params;
    params.m_strDirectory = "C:\\";
    EXPECT_EQ(job.GetScanParameter(), params);
    EXPECT_EQ(job.Store(), kTestJobBytes);
}

TEST(Job, PeriodTextIsTheScheduleDescription) {
    CJob job;
    EXPECT_STREQ(job.GetPeriodText(GetResourceHandle()), "");
    job.SetPeriod(DailyAt(8, 5), COleDateTime(2026, 12, 7, 10, 0, 0));
    char expected[CJob::kTextSize];
    job.GetPeriod()->GetDescription(GetResourceHandle(), expected, sizeof expected);
    EXPECT_STRNE(expected, "");
    EXPECT_STREQ(job.GetPeriodText(GetResourceHandle()), expected);
    job.SetPeriod(CAtStartup(), COleDateTime(2026, 12, 7, 10, 0, 0));
    EXPECT_STREQ(job.GetPeriodText(GetResourceHandle()), "Start systemu");
}
