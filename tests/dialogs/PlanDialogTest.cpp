// The schedule dialog driven as a user would: each kind opens with its
// picker format and value and writes its schedule on OK; switching kinds
// keeps each kind's stored values; the weekday button and the idle minutes.

#include "PlanDialog.h"
#include "DialogTestSupport.h"
#include "MyDateTimePickCtrl.h"
#include "SpinButtonCtrl.h"
#include "StringTable.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>

namespace {

using namespace res;

// Wednesday 9 December 2026, 10:17:30.
class PlanDialogTest : public testing::Test {
protected:
    FixedClock m_clock{2026, 12, 9, 10, 17, 30};
    CPlanDialog m_dlg;
    ModalScript m_script;

    CMyDateTimePickCtrl& Date() { return *m_dlg.DatePicker(); }
    CMyDateTimePickCtrl& Time() { return *m_dlg.TimePicker(); }
    static COleDateTime ValueOf(const CDateTimePickCtrl& picker) {
        COleDateTime value;
        EXPECT_EQ(picker.GetTime(value), GDT_VALID);
        return value;
    }
    QString Format(unsigned id) { return CDateTimePickCtrl::ToQtFormat(LoadResString(id)); }
};

TEST_F(PlanDialogTest, UnsetOnceShowsNowAndWritesThePickedMoment) {
    m_dlg.InitFromPeriod(COnce());
    m_script.Then([this](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Ustawienia czasowe");
        EXPECT_TRUE(IsChecked(d, IDC_PLAN_ONCE));
        EXPECT_TRUE(Date().isVisible());
        EXPECT_TRUE(Time().isVisible());
        EXPECT_EQ(Date().displayFormat(), Format(130));
        EXPECT_EQ(Time().displayFormat(), Format(131));
        EXPECT_EQ(Time().text(), "10:17");
        EXPECT_EQ(ValueOf(Date()).GetDay(), 9);
        // One day on, and the time an hour on.
        QTest::keyClick(&Date(), Qt::Key_Right); // from the weekday to the day field
        QTest::keyClick(&Date(), Qt::Key_Up);
        QTest::keyClick(&Time(), Qt::Key_Up);
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    ASSERT_EQ(m_dlg.m_pResult, &m_dlg.m_once);
    SYSTEMTIME st{};
    m_dlg.m_once.Get(&st);
    EXPECT_EQ(st.wYear, 2026);
    EXPECT_EQ(st.wMonth, 12);
    EXPECT_EQ(st.wDay, 10);
    EXPECT_EQ(st.wDayOfWeek, 5); // Thursday, counted from Sunday = 1
    EXPECT_EQ(st.wHour, 11);
    EXPECT_EQ(st.wMinute, 17);
    EXPECT_EQ(st.wSecond, 0);
    EXPECT_EQ(st.wMilliseconds, 0);
}

TEST_F(PlanDialogTest, SetOnceShowsItsMoment) {
    COnce once;
    SYSTEMTIME st{2027, 3, 3, 2, 14, 0, 0, 0}; // a Tuesday, still to come
    once.Set(true, &st);
    m_dlg.InitFromPeriod(once);
    m_script.Then([this](QDialog& d) {
        EXPECT_EQ(ValueOf(Date()).GetYear(), 2027);
        EXPECT_EQ(ValueOf(Date()).GetDay(), 2);
        EXPECT_EQ(Time().text(), "14:00");
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    EXPECT_TRUE(m_dlg.m_pResult->IsEqual(once));
}

TEST_F(PlanDialogTest, HourlyWordFollowsTheMinute) {
    CHourly hourly;
    hourly.SetMinute(true, 1);
    m_dlg.InitFromPeriod(hourly);
    m_script.Then([this](QDialog& d) {
        EXPECT_FALSE(Date().isVisible());
        EXPECT_TRUE(Time().isVisible());
        EXPECT_TRUE(Time().IsMinuteUnit());
        EXPECT_EQ(Time().text().toStdString(), "1 Minuta po pełnej godzinie");
        QTest::keyClick(&Time(), Qt::Key_Up);
        EXPECT_EQ(Time().text().toStdString(), "2 Minut(y) po pełnej godzinie");
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    ASSERT_EQ(m_dlg.m_pResult, &m_dlg.m_hourly);
    EXPECT_EQ(m_dlg.m_hourly.GetMinute(), 2);
}

TEST_F(PlanDialogTest, DailyShowsItsTimeAndKeepsItsDays) {
    CDaily daily;
    const int hour = 8, minute = 5, off = 0;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, &off, &off);
    m_dlg.InitFromPeriod(daily);
    m_script.Then([this](QDialog& d) {
        EXPECT_EQ(Time().displayFormat(), Format(133));
        EXPECT_EQ(Time().text(), "08:05");
        EXPECT_TRUE(IsEnabled(d, IDC_PLAN_WEEKDAYS));
        QTest::keyClick(&Time(), Qt::Key_Up); // 09:05
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    ASSERT_EQ(m_dlg.m_pResult, &m_dlg.m_daily);
    int h = 0, m = 0, sat = 1, sun = 1, mon = 0;
    m_dlg.m_daily.Get(&h, &m, &mon, nullptr, nullptr, nullptr, nullptr, &sat, &sun);
    EXPECT_EQ(h, 9);
    EXPECT_EQ(m, 5);
    EXPECT_EQ(mon, 1);
    EXPECT_EQ(sat, 0);
    EXPECT_EQ(sun, 0);
}

TEST_F(PlanDialogTest, WeeklyForSundayShowsTheComingSunday) {
    CWeekly weekly;
    weekly.Set(true, 6, 30, 1); // Sunday 06:30
    m_dlg.InitFromPeriod(weekly);
    m_script.Then([this](QDialog& d) {
        EXPECT_EQ(Time().displayFormat(), Format(134));
        const COleDateTime shown = ValueOf(Time());
        EXPECT_EQ(shown.GetDay(), 13);
        EXPECT_EQ(shown.GetDayOfWeek(), 1);
        EXPECT_EQ(shown.GetHour(), 6);
        EXPECT_EQ(shown.GetMinute(), 30);
        // The weekday name is a field of the picker: one step on is Monday.
        Time().setCurrentSection(QDateTimeEdit::DaySection);
        QTest::keyClick(&Time(), Qt::Key_Up);
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    int h = 0, m = 0, day = 0;
    m_dlg.m_weekly.Get(&h, &m, &day);
    EXPECT_EQ(day, 2);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(m, 30);
}

TEST_F(PlanDialogTest, MonthlyDay31OpensInJanuary) {
    CMonthly monthly;
    monthly.Set(true, 8, 0, 31);
    m_dlg.InitFromPeriod(monthly);
    m_script.Then([this](QDialog& d) {
        EXPECT_EQ(Time().text().toStdString(), "08:00 w 31. dzień miesiąca");
        const COleDateTime shown = ValueOf(Time());
        EXPECT_EQ(shown.GetMonth(), 1);
        EXPECT_EQ(shown.GetYear(), 2026);
        // The day field runs round within January: 31 -> 1.
        Time().setCurrentSection(QDateTimeEdit::DaySection);
        QTest::keyClick(&Time(), Qt::Key_Up);
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    int h = 0, m = 0, day = 0;
    m_dlg.m_monthly.Get(&h, &m, &day);
    EXPECT_EQ(day, 1);
    EXPECT_EQ(h, 8);
}

TEST_F(PlanDialogTest, UnsetMonthlyShowsTodaysDayInJanuary) {
    m_dlg.InitFromPeriod(CMonthly());
    m_script.Then([this](QDialog& d) {
        const COleDateTime shown = ValueOf(Time());
        EXPECT_EQ(shown.GetMonth(), 1);
        EXPECT_EQ(shown.GetDay(), 9);
        EXPECT_EQ(Time().text().toStdString(), "10:17 w 9. dzień miesiąca");
        return Click(d, IDCANCEL);
    });
    EXPECT_EQ(m_dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(m_dlg.m_pResult, nullptr);
}

TEST_F(PlanDialogTest, AtStartupHidesBothPickers) {
    CDaily daily;
    m_dlg.InitFromPeriod(daily);
    m_script.Then([this](QDialog& d) {
        Click(d, IDC_PLAN_ATSTARTUP);
        EXPECT_FALSE(Date().isVisible());
        EXPECT_FALSE(Time().isVisible());
        EXPECT_FALSE(IsEnabled(d, IDC_PLAN_WEEKDAYS));
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    EXPECT_EQ(m_dlg.m_pResult, &m_dlg.m_atStartup);
}

TEST_F(PlanDialogTest, SwitchingKindsAndBackShowsTheStoredValues) {
    CDaily daily;
    const int hour = 8, minute = 5;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    m_dlg.InitFromPeriod(daily);
    m_script.Then([this](QDialog& d) {
        QTest::keyClick(&Time(), Qt::Key_Up); // typed, never confirmed
        Click(d, IDC_PLAN_WEEKLY);
        EXPECT_EQ(Time().displayFormat(), Format(134));
        EXPECT_EQ(Time().text().left(5), "10:17"); // no weekly schedule yet: now
        EXPECT_FALSE(IsEnabled(d, IDC_PLAN_WEEKDAYS));
        Click(d, IDC_PLAN_DAILY);
        EXPECT_EQ(Time().text(), "08:05");
        EXPECT_TRUE(IsEnabled(d, IDC_PLAN_WEEKDAYS));
        Click(d, IDC_PLAN_WEEKLY);
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    ASSERT_EQ(m_dlg.m_pResult, &m_dlg.m_weekly);
    int h = 0, m = 0, day = 0;
    m_dlg.m_weekly.Get(&h, &m, &day);
    EXPECT_EQ(day, 4); // today, a Wednesday
    EXPECT_EQ(h, 10);
    EXPECT_EQ(m, 17);
}

// A time-only kind shown first must not narrow the picker to one day: the
// kinds that show a weekday or a day of the month still reach every value.
TEST_F(PlanDialogTest, DateKindsKeepTheirWholeRangeAfterATimeOnlyKind) {
    m_dlg.InitFromPeriod(CDaily()); // the kind a new job opens on
    m_script.Then([this](QDialog& d) {
        Click(d, IDC_PLAN_WEEKLY);
        Time().setCurrentSection(QDateTimeEdit::DaySection);
        QTest::keyClick(&Time(), Qt::Key_Up); // Wednesday -> Thursday
        EXPECT_EQ(ValueOf(Time()).GetDayOfWeek(), 5);
        Click(d, IDC_PLAN_HOURLY);
        Click(d, IDC_PLAN_MONTHLY);
        Time().setSelectedSection(QDateTimeEdit::DaySection); // as Tab selects it
        QTest::keyClicks(&Time(), "31");
        EXPECT_EQ(ValueOf(Time()).GetDay(), 31);
        EXPECT_EQ(Time().text().toStdString(), "10:17 w 31. dzień miesiąca");
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    int h = 0, m = 0, day = 0;
    m_dlg.m_monthly.Get(&h, &m, &day);
    EXPECT_EQ(day, 31);
    EXPECT_EQ(h, 10);
    EXPECT_EQ(m, 17);
}

// A look at another kind and back leaves a stored schedule exactly as it was.
TEST_F(PlanDialogTest, StoredWeeklyAndMonthlySurviveALookAtOtherKinds) {
    CMonthly monthly;
    monthly.Set(true, 23, 15, 31);
    CWeekly weekly;
    weekly.Set(true, 10, 0, 6); // Friday 10:00
    for (CPeriod* stored : std::initializer_list<CPeriod*>{&monthly, &weekly}) {
        CPlanDialog dlg;
        dlg.InitFromPeriod(*stored);
        const int kindId = IDC_PLAN_ONCE + stored->GetKind();
        m_script.Then([kindId](QDialog& d) {
            Click(d, IDC_PLAN_HOURLY);
            Click(d, IDC_PLAN_DAILY);
            Click(d, IDC_PLAN_ONCE);
            Click(d, kindId);
            return Click(d, IDOK);
        });
        ASSERT_EQ(dlg.DoModal(), IDOK);
        ASSERT_NE(dlg.m_pResult, nullptr);
        EXPECT_TRUE(dlg.m_pResult->IsEqual(*stored)) << stored->GetKind();
    }
}

// The unit word after the minute changes while the user types the minute;
// the digits land where they were typed.
TEST_F(PlanDialogTest, TypedHourlyMinutesKeepTheirOrder) {
    for (const char* typed : {"25", "15", "1"}) {
        CPlanDialog dlg;
        CHourly hourly;
        hourly.SetMinute(true, 0);
        dlg.InitFromPeriod(hourly);
        m_script.Then([&dlg, typed](QDialog& d) {
            CMyDateTimePickCtrl& time = *dlg.TimePicker();
            time.setFocus();
            time.setSelectedSection(QDateTimeEdit::MinuteSection); // as Tab selects it
            QTest::keyClicks(&time, typed);
            const QString word =
                QString::fromUtf8(std::string(typed) == "1" ? "Minuta" : "Minut(y)");
            EXPECT_EQ(
                time.text().toStdString(),
                (QString::fromUtf8(typed) + " " + word + " po pełnej godzinie").toStdString());
            return Click(d, IDOK);
        });
        ASSERT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(dlg.m_hourly.GetMinute(), std::atoi(typed));
    }
}

// The one-off date names the weekday and the month in full; the longest
// Polish names fit, and the time picker keeps out of the date's way.
TEST_F(PlanDialogTest, LongestOnceDateIsShownWhole) {
    COnce once;
    SYSTEMTIME st{2027, 10, 2, 25, 9, 30, 0, 0}; // Monday 25 October 2027
    once.Set(true, &st);
    m_dlg.InitFromPeriod(once);
    m_dlg.setLocale(QLocale(QLocale::Polish, QLocale::Poland)); // the pickers' names
    m_script.Then([this](QDialog& d) -> int {
        EXPECT_EQ(Date().text().toStdString(), "poniedziałek 25.października 2027");
        auto* edit = Date().findChild<QLineEdit*>();
        if (edit == nullptr) {
            ADD_FAILURE() << "no line edit";
            return Click(d, IDCANCEL);
        }
        // The line edit keeps two pixels on either side of its text.
        const int room = edit->contentsRect().width() - 4;
        EXPECT_LE(QFontMetrics(Date().font()).horizontalAdvance(Date().text()), room);
        EXPECT_GE(Date().width(), Date().WidthForLongestText());
        EXPECT_GE(Time().width(), Time().WidthForLongestText());
        EXPECT_LT(Date().geometry().right(), Time().geometry().left());
        return Click(d, IDCANCEL);
    });
    EXPECT_EQ(m_dlg.DoModal(), IDCANCEL);
}

TEST_F(PlanDialogTest, PickersStayInsideTheTimeGroupInEveryKind) {
    m_dlg.InitFromPeriod(COnce());
    m_script.Then([this](QDialog& d) {
        // The "Czas" frame is the second group box of the template.
        QRect frame;
        int boxes = 0;
        for (const CBuiltControl& c : m_dlg.Controls().All())
            if (c.pTemplate->kind == ControlKind::GroupBox && ++boxes == 2)
                frame = c.pWidget->geometry();
        for (int id = IDC_PLAN_ONCE; id <= IDC_PLAN_ATSTARTUP; ++id) {
            Click(d, id);
            for (CMyDateTimePickCtrl* p : {&Date(), &Time()})
                if (p->isVisible()) {
                    EXPECT_TRUE(frame.contains(p->geometry())) << id;
                }
            if (Date().isVisible()) {
                EXPECT_FALSE(Date().geometry().intersects(Time().geometry()));
            }
        }
        return Click(d, IDCANCEL);
    });
    EXPECT_EQ(m_dlg.DoModal(), IDCANCEL);
}

TEST_F(PlanDialogTest, WeekdayButtonChangesOnlyTheDays) {
    m_dlg.InitFromPeriod(CDaily()); // no time yet
    m_script.Then([](QDialog& d) {
        Click(d, IDC_PLAN_WEEKDAYS); // cancelled
        Click(d, IDC_PLAN_WEEKDAYS); // Sunday unchecked
        return Click(d, IDCANCEL);
    });
    m_script.Then([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Dni tygodnia");
        Click(d, IDC_DAY_MONDAY);
        return Click(d, IDCANCEL);
    });
    m_script.Then([](QDialog& d) {
        EXPECT_TRUE(IsChecked(d, IDC_DAY_MONDAY)); // the cancel above changed nothing
        Click(d, IDC_DAY_SUNDAY);
        return Click(d, IDOK);
    });
    EXPECT_EQ(m_dlg.DoModal(), IDCANCEL);
    int mon = 0, sun = 1;
    m_dlg.m_daily.Get(nullptr, nullptr, &mon, nullptr, nullptr, nullptr, nullptr, nullptr, &sun);
    EXPECT_EQ(mon, 1);
    EXPECT_EQ(sun, 0);
    EXPECT_FALSE(m_dlg.m_daily.IsValid()); // still no time
    EXPECT_TRUE(m_script.Done());
}

TEST_F(PlanDialogTest, IdleOptionKeepsTheJobsSettingAndClampsTheMinutes) {
    CAtStartup atStartup;
    atStartup.SetIdle(true, 29);
    m_dlg.InitFromPeriod(atStartup);
    m_script.Then([](QDialog& d) {
        EXPECT_TRUE(IsEnabled(d, IDC_PLAN_IDLE));
        EXPECT_TRUE(IsChecked(d, IDC_PLAN_IDLE));
        EXPECT_TRUE(IsEnabled(d, IDC_PLAN_IDLE_MINUTES));
        EXPECT_EQ(Text(d, IDC_PLAN_IDLE_MINUTES), "29");
        auto* edit = Control(d, IDC_PLAN_IDLE_MINUTES);
        QTest::keyClick(edit, Qt::Key_Up);
        QTest::keyClick(edit, Qt::Key_Up);
        EXPECT_EQ(Text(d, IDC_PLAN_IDLE_MINUTES), "30");
        EXPECT_EQ(Text(d, IDC_PLAN_MINUTES_UNIT).toStdString(), "Minut(y)");
        for (int i = 0; i < 35; ++i)
            QTest::keyClick(edit, Qt::Key_Down);
        EXPECT_EQ(Text(d, IDC_PLAN_IDLE_MINUTES), "1");
        EXPECT_EQ(Text(d, IDC_PLAN_MINUTES_UNIT).toStdString(), "Minuta");
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    EXPECT_TRUE(m_dlg.m_pResult->GetIdle());
    EXPECT_EQ(m_dlg.m_pResult->GetIdleMinutes(), 1);
}

TEST_F(PlanDialogTest, TheArrowButtonsStepTheMinutes) {
    m_dlg.InitFromPeriod(CAtStartup());
    m_script.Then([](QDialog& d) {
        EXPECT_FALSE(IsEnabled(d, IDC_PLAN_IDLE_SPIN)); // idle off
        Click(d, IDC_PLAN_IDLE);
        EXPECT_TRUE(IsEnabled(d, IDC_PLAN_IDLE_SPIN));
        auto* spin = qobject_cast<CSpinButtonCtrl*>(Control(d, IDC_PLAN_IDLE_SPIN));
        QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
        QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
        QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
        EXPECT_EQ(Text(d, IDC_PLAN_IDLE_MINUTES), "2");
        return Click(d, IDOK);
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    EXPECT_TRUE(m_dlg.m_pResult->GetIdle());
    EXPECT_EQ(m_dlg.m_pResult->GetIdleMinutes(), 2);
}

TEST_F(PlanDialogTest, MinutesOutsideTheRangeKeepTheDialogOpen) {
    CAtStartup atStartup;
    atStartup.SetIdle(true, 5);
    m_dlg.InitFromPeriod(atStartup);
    m_script.Then([this](QDialog& d) {
        ClearText(d, IDC_PLAN_IDLE_MINUTES);
        KeyClicks(d, IDC_PLAN_IDLE_MINUTES, "45");
        EXPECT_EQ(Click(d, IDOK), 0); // the message below, once; still open
        EXPECT_EQ(m_script.Messages().size(), 1u);
        EXPECT_EQ(d.focusWidget(), Control(d, IDC_PLAN_IDLE_MINUTES));
        ClearText(d, IDC_PLAN_IDLE_MINUTES);
        EXPECT_EQ(Click(d, IDOK), 0); // empty: not a number
        ClearText(d, IDC_PLAN_IDLE_MINUTES);
        KeyClicks(d, IDC_PLAN_IDLE_MINUTES, "12");
        return Click(d, IDOK);
    });
    m_script.Then([](QDialog& d) {
        EXPECT_EQ(MessageBoxStringId(d), 0u);
        EXPECT_EQ(MessageBoxText(d).toStdString(),
                  "Proszę wpisać liczbę całkowitą z zakresu od 1 do 30.");
        EXPECT_EQ(d.windowTitle(), "Vex Tempora");
        return IDOK;
    });
    m_script.Then([](QDialog& d) {
        EXPECT_EQ(MessageBoxText(d).toStdString(), "Proszę wpisać liczbę całkowitą.");
        return IDOK;
    });
    ASSERT_EQ(m_dlg.DoModal(), IDOK);
    EXPECT_EQ(m_dlg.m_pResult->GetIdleMinutes(), 12);
    EXPECT_TRUE(m_script.Done());
}

TEST_F(PlanDialogTest, CancelLeavesTheCallersScheduleAlone) {
    CWeekly weekly;
    weekly.Set(true, 6, 30, 1);
    std::unique_ptr<CPeriod> before(weekly.Clone());
    m_dlg.InitFromPeriod(weekly);
    m_script.Then([](QDialog& d) {
        Click(d, IDC_PLAN_HOURLY);
        Click(d, IDC_PLAN_ONCE);
        Click(d, IDC_PLAN_IDLE);
        return Click(d, IDCANCEL);
    });
    EXPECT_EQ(m_dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(m_dlg.m_pResult, nullptr);
    EXPECT_TRUE(weekly.IsEqual(*before));
}

} // namespace
