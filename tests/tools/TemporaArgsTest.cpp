#include "TemporaArgs.h"

#include "Daily.h"
#include "Hourly.h"
#include "Monthly.h"
#include "Once.h"
#include "Weekly.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

CTemporaRequest Parse(const Args& args) {
    CTemporaRequest request;
    std::string error;
    EXPECT_TRUE(ParseTemporaArgs(args, request, error)) << error;
    return request;
}

std::string ErrorOf(const Args& args) {
    CTemporaRequest request;
    std::string error;
    EXPECT_FALSE(ParseTemporaArgs(args, request, error));
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(TemporaArgs, EveryScheduleKindBuildsItsCompleteSchedule) {
    {
        const auto r = Parse({"add", "A", "--once", "1999-03-02 14:00"});
        ASSERT_EQ(r.pPeriod->GetKind(), PERIOD_ONCE);
        SYSTEMTIME st{};
        static_cast<const COnce&>(*r.pPeriod).Get(&st);
        EXPECT_EQ(st.wYear, 1999);
        EXPECT_EQ(st.wMonth, 3);
        EXPECT_EQ(st.wDay, 2);
        EXPECT_EQ(st.wHour, 14);
        EXPECT_EQ(st.wMinute, 0);
        EXPECT_EQ(st.wDayOfWeek, 3); // a Tuesday, counted from Sunday = 1
    }
    {
        const auto r = Parse({"add", "A", "--hourly", "0"});
        ASSERT_EQ(r.pPeriod->GetKind(), PERIOD_HOURLY);
        EXPECT_TRUE(r.pPeriod->IsValid());
        EXPECT_EQ(static_cast<const CHourly&>(*r.pPeriod).GetMinute(), 0);
    }
    {
        const auto r = Parse({"add", "A", "--weekly", "sun", "23:59"});
        int h = 0, m = 0, d = 0;
        static_cast<const CWeekly&>(*r.pPeriod).Get(&h, &m, &d);
        EXPECT_EQ(h, 23);
        EXPECT_EQ(m, 59);
        EXPECT_EQ(d, 1);
    }
    {
        const auto r = Parse({"add", "A", "--monthly", "31", "8:05"});
        int h = 0, m = 0, d = 0;
        static_cast<const CMonthly&>(*r.pPeriod).Get(&h, &m, &d);
        EXPECT_EQ(h, 8);
        EXPECT_EQ(m, 5);
        EXPECT_EQ(d, 31);
    }
    {
        const auto r = Parse({"add", "A", "--at-startup", "--idle", "30"});
        EXPECT_EQ(r.pPeriod->GetKind(), PERIOD_AT_STARTUP);
        EXPECT_TRUE(r.pPeriod->GetIdle());
        EXPECT_EQ(r.pPeriod->GetIdleMinutes(), 30);
    }
}

TEST(TemporaArgs, DailyDaysMapOntoTheMondayFirstFlags) {
    int h = 0, m = 0, f[7] = {};
    const auto all = Parse({"add", "A", "--daily", "08:05"});
    static_cast<const CDaily&>(*all.pPeriod)
        .Get(&h, &m, &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6]);
    EXPECT_EQ(h * 60 + m, 8 * 60 + 5);
    for (int flag : f)
        EXPECT_EQ(flag, 1);

    const auto some = Parse({"add", "A", "--daily", "08:05", "--days", "sun,mon,fri"});
    static_cast<const CDaily&>(*some.pPeriod)
        .Get(nullptr, nullptr, &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6]);
    const int expected[7] = {1, 0, 0, 0, 1, 0, 1}; // Monday ... Sunday
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(f[i], expected[i]) << i;
}

TEST(TemporaArgs, ScanOptionsDefaultAsANewJobAndFollowTheFlags) {
    const auto plain = Parse({"add", "A", "--at-startup"});
    EXPECT_EQ(plain.scan, CScanParameter());
    EXPECT_TRUE(plain.bActive);

    const auto r = Parse({"add", "A", "--at-startup", "--dir=/srv/data", "--no-subdirs",
                          "--all-files", "--no-heuristic", "--on-infection", "move",
                          "--no-reference-check", "--on-reference-diff", "accept", "--log",
                          "detailed", "--end", "continue", "--inactive"});
    EXPECT_EQ(r.scan.m_strDirectory, "/srv/data");
    EXPECT_FALSE(r.scan.m_bSubdirectories);
    EXPECT_EQ(r.scan.m_nFileSelection, 0u);
    EXPECT_FALSE(r.scan.m_bHeuristic);
    EXPECT_EQ(r.scan.m_nInfectionAction, 4u);
    EXPECT_EQ(r.scan.m_nReferenceCheck, 0u);
    EXPECT_EQ(r.scan.m_nReferenceDiffAction, 2u);
    EXPECT_EQ(r.scan.m_nLogMode, 2u);
    EXPECT_EQ(r.scan.m_nEndMode, 0u);
    EXPECT_EQ(r.scan.m_nWindowMode, 0u);
    EXPECT_FALSE(r.bActive);

    // In the background the scanner always exits when done, as in the dialog.
    const auto bg = Parse({"add", "A", "--at-startup", "--background"});
    EXPECT_EQ(bg.scan.m_nWindowMode, 1u);
    EXPECT_EQ(bg.scan.m_nEndMode, 2u);
}

TEST(TemporaArgs, EditSetsOnlyWhatIsGiven) {
    const auto r = Parse({"edit", "A", "--dir", "/srv", "--days", "MON,Fri", "--subdirs"});
    EXPECT_EQ(r.command, TemporaCommand::Edit);
    const CJobChanges& c = r.changes;
    EXPECT_EQ(c.pPeriod, nullptr);
    EXPECT_EQ(c.directory, "/srv");
    EXPECT_FALSE(c.relativeDirectory);
    EXPECT_EQ(c.days, (std::array<int, 7>{1, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(c.subdirectories, true);
    EXPECT_FALSE(c.heuristic || c.allFiles || c.background || c.endMode || c.logMode || c.active ||
                 c.newName || c.idleMinutes);

    const auto renamed = Parse({"edit", "A", "--weekly", "Sun", "08:00", "--rename", "B",
                                "--no-idle", "--dir", "sub/../x/"});
    EXPECT_EQ(renamed.changes.pPeriod->GetKind(), PERIOD_WEEKLY);
    EXPECT_EQ(renamed.changes.newName, "B");
    EXPECT_EQ(renamed.changes.idleMinutes, 0);
    EXPECT_EQ(renamed.changes.relativeDirectory, "sub/../x/");
    const std::string& dir = *renamed.changes.directory;
    EXPECT_EQ(dir.front(), '/');
    EXPECT_EQ(dir.substr(dir.size() - 2), "/x");

    for (const Args& bad : {Args{"edit", "A"}, Args{"edit", "A", "--subdirs", "--no-subdirs"},
                            Args{"edit", "A", "--hourly", "5", "--days", "mon"},
                            Args{"add", "A", "--daily", "08:00", "--days", "mon,MON"},
                            Args{"add", "A", "--at-startup", "--rename", "B"}})
        ErrorOf(bad);
}

TEST(TemporaArgs, CommandsTakeTheirNameOrFile) {
    EXPECT_EQ(Parse({"list", "--json"}).bJson, true);
    EXPECT_EQ(Parse({"show", "Zażółć gęślą"}).strName, "Zażółć gęślą");
    EXPECT_EQ(Parse({"delete", "--", "-dash"}).strName, "-dash");
    EXPECT_EQ(Parse({"run", "A"}).command, TemporaCommand::Run);
    EXPECT_EQ(Parse({"export", "out.scj"}).strFile, "out.scj");
    EXPECT_EQ(Parse({"import", "in.scj"}).conflict, ImportConflict::Ask);
    EXPECT_EQ(Parse({"import", "in.scj", "--replace"}).conflict, ImportConflict::Replace);
    EXPECT_EQ(Parse({"import", "--keep", "in.scj"}).conflict, ImportConflict::Keep);
    EXPECT_EQ(Parse({"add", "A", "--bogus", "--help"}).command, TemporaCommand::Help);
    EXPECT_EQ(Parse({"-h"}).command, TemporaCommand::Help);
    EXPECT_EQ(Parse({"add", std::string(259, 'x'), "--at-startup"}).strName.size(), 259u);
}

TEST(TemporaArgs, UsageErrorsAreRefusedWithAReason) {
    const Args bad[] = {
        {},
        {"frob"},
        {"list", "extra"},
        {"list", "--replace"},
        {"show"},
        {"export"},
        {"enable", "A", "B"},
        {"add", "A"},
        {"add", "A", "B", "--at-startup"},
        {"add", "", "--at-startup"},
        {"add", std::string(260, 'x'), "--at-startup"},
        {"add", "A", "--daily"},
        {"add", "A", "--daily", "8"},
        {"add", "A", "--daily", "24:00"},
        {"add", "A", "--daily", "08:60"},
        {"add", "A", "--daily", "08:5x"},
        {"add", "A", "--daily", "08:00", "--days", ""},
        {"add", "A", "--daily", "08:00", "--days", "mon,,tue"},
        {"add", "A", "--daily", "08:00", "--days", "monday"},
        {"add", "A", "--hourly", "5", "--days", "mon"},
        {"add", "A", "--hourly", "60"},
        {"add", "A", "--hourly", "-1"},
        {"add", "A", "--once", "2023-02-29 10:00"},
        {"add", "A", "--once", "2023-04-31 10:00"},
        {"add", "A", "--once", "2023-4-1 10:00"},
        {"add", "A", "--once", "tomorrow"},
        {"add", "A", "--weekly", "xyz", "08:00"},
        {"add", "A", "--weekly", "mon"},
        {"add", "A", "--monthly", "0", "08:00"},
        {"add", "A", "--monthly", "32", "08:00"},
        {"add", "A", "--at-startup", "--idle", "0"},
        {"add", "A", "--at-startup", "--idle", "31"},
        {"add", "A", "--daily", "08:00", "--hourly", "5"},
        {"add", "A", "--at-startup", "--at-startup"},
        {"add", "A", "--at-startup", "--dir"},
        {"add", "A", "--at-startup", "--dir", ""},
        {"add", "A", "--at-startup", "--log", "verbose"},
        {"add", "A", "--at-startup", "--no-subdirs=yes"},
        {"add", "A", "--at-startup", "--background", "--end", "continue"},
        {"import", "f.scj", "--replace", "--keep"},
    };
    for (const Args& args : bad) {
        std::string joined;
        for (const std::string& a : args)
            joined += "[" + a.substr(0, 20) + "]";
        SCOPED_TRACE(joined);
        ErrorOf(args);
    }
}

} // namespace
