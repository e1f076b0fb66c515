// The weekday dialog: the boxes mirror the flags, OK follows the choice.

#include "WeekdayDialog.h"
#include "DialogTestSupport.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int kMonday = res::IDC_DAY_MONDAY;
constexpr int kSunday = res::IDC_DAY_SUNDAY;

TEST(WeekdayDialog, OpensWithTheFlagsAndReturnsTheChoice) {
    CWeekdayDialog dlg;
    dlg.m_bWednesday = 0;
    ModalScript script;
    script.Then([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Dni tygodnia");
        for (int id = kMonday; id <= kSunday; ++id)
            EXPECT_EQ(IsChecked(d, id), id != kMonday + 2) << id;
        EXPECT_EQ(DefaultButtonId(d), IDOK);
        Click(d, kSunday);
        Click(d, kMonday + 2);
        return Click(d, IDOK);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_bWednesday, 1);
    EXPECT_EQ(dlg.m_bSunday, 0);
    EXPECT_EQ(dlg.m_bMonday, 1);
}

TEST(WeekdayDialog, NoDayChosenDisablesOkAndEnterCancels) {
    CWeekdayDialog dlg;
    ModalScript script;
    script.Then([](QDialog& d) {
        for (int id = kMonday; id <= kSunday; ++id)
            Click(d, id);
        EXPECT_FALSE(IsEnabled(d, IDOK));
        EXPECT_EQ(DefaultButtonId(d), IDCANCEL);
        EXPECT_EQ(Click(d, IDOK), 0); // a disabled OK does nothing
        Click(d, kMonday + 4);        // Friday
        EXPECT_TRUE(IsEnabled(d, IDOK));
        EXPECT_EQ(DefaultButtonId(d), IDOK);
        Click(d, kMonday + 4);
        QTest::keyClick(&d, Qt::Key_Return);
        return d.result();
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(script.Done());
}

} // namespace
