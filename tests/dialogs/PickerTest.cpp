// The date-time pickers: value exchange with its null state, the picker
// format syntax of the string table, and the minute-unit word.

#include "DialogTestSupport.h"
#include "MyDateTimePickCtrl.h"
#include "StringTable.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Counts the notifications that reach the virtual operations.
class CountingPicker : public CDateTimePickCtrl {
public:
    int changes = 0;
    int dropDowns = 0;
    int closeUps = 0;
    COleDateTime last;

protected:
    void OnDateTimeChange(const COleDateTime& value) override {
        ++changes;
        last = value;
    }
    void OnDropDown() override { ++dropDowns; }
    void OnCloseUp() override { ++closeUps; }
};

QString Shown(const CDateTimePickCtrl& picker) {
    return picker.text();
}

TEST(PickerFormat, StringTableFormatsShowTheirFieldsAndWords) {
    CMyDateTimePickCtrl picker;
    picker.setLocale(QLocale::c());
    struct Case {
        unsigned id;
        const char* shown;
    } cases[] = {
        {130, "Saturday 31.January 2026"},
        {131, "08:05"},
        {133, "08:05"},
        {134, "08:05 każdy(a) Saturday"},
        {135, "08:05 w 31. dzień miesiąca"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(picker.SetFormat(LoadResString(c.id))) << c.id;
        picker.SetTime(COleDateTime(2026, 1, 31, 8, 5, 0)); // a Saturday
        EXPECT_EQ(Shown(picker).toStdString(), c.shown) << c.id;
    }
}

TEST(PickerFormat, QuotesAndLettersOutsideFields) {
    // '' is a quote; an unclosed quote makes the rest literal, letters that
    // are fields elsewhere included.
    EXPECT_EQ(CDateTimePickCtrl::ToQtFormat("H'h''s'"), "H'h''s'");
    EXPECT_EQ(CDateTimePickCtrl::ToQtFormat("m' dzień mdy"), "m' dzień mdy'");
    EXPECT_EQ(CDateTimePickCtrl::ToQtFormat("ddddd/yyy"), "dddd'/'yyyy");
    EXPECT_EQ(CDateTimePickCtrl::ToQtFormat("hh:mm tt"), "hh':'mm' 'AP");
    EXPECT_TRUE(CDateTimePickCtrl::ToQtFormat("'only text'").isEmpty());
    EXPECT_TRUE(CDateTimePickCtrl::ToQtFormat("").isEmpty());
}

TEST(PickerFormat, AFormatWithoutFieldsIsRefusedAndTheOldOneStays) {
    CDateTimePickCtrl picker;
    picker.SetTime(COleDateTime(2026, 1, 31, 8, 5, 0));
    ASSERT_TRUE(picker.SetFormat("HH':'mm"));
    EXPECT_FALSE(picker.SetFormat("'nothing'"));
    EXPECT_FALSE(picker.SetFormat(nullptr));
    EXPECT_EQ(Shown(picker), "08:05");
}

TEST(PickerValue, ValidValuesRoundTripAndInvalidOnesClearThePicker) {
    CDateTimePickCtrl picker;
    picker.SetFormat("dd'.'MM'.'yyyy HH':'mm");
    ASSERT_TRUE(picker.SetTime(COleDateTime(1999, 3, 2, 14, 0, 0)));
    COleDateTime value;
    ASSERT_EQ(picker.GetTime(value), GDT_VALID);
    EXPECT_EQ(value, COleDateTime(1999, 3, 2, 14, 0, 0));

    COleDateTime bad(1999, 2, 30, 0, 0, 0);
    ASSERT_EQ(bad.GetStatus(), COleDateTime::invalid);
    picker.SetTime(bad);
    COleDateTime out(2001, 5, 6, 7, 8, 0);
    const double before = out.m_dt;
    EXPECT_EQ(picker.GetTime(out), GDT_NONE);
    EXPECT_EQ(out.GetStatus(), COleDateTime::null);
    EXPECT_EQ(out.m_dt, before); // only the status changes
    EXPECT_EQ(Shown(picker).trimmed(), "");

    // A value put in again, or a change by the user, ends the empty state.
    picker.SetTime(COleDateTime(2000, 2, 29, 0, 0, 0));
    EXPECT_EQ(picker.GetTime(out), GDT_VALID);
    EXPECT_EQ(out.GetDay(), 29);
}

TEST(PickerValue, OnlyTheUsersChangesNotify) {
    CountingPicker picker;
    picker.SetFormat("HH':'mm");
    picker.SetTime(COleDateTime(2026, 12, 9, 10, 17, 0));
    picker.SetFormat("mm");
    EXPECT_EQ(picker.changes, 0);
    QTest::keyClick(&picker, Qt::Key_Up);
    EXPECT_EQ(picker.changes, 1);
    EXPECT_EQ(picker.last.GetMinute(), 18);
    EXPECT_EQ(picker.last.GetDay(), 9); // the date stays behind a time format
    // The fields run round like the picker's arrows: 59 -> 0 without a carry.
    picker.SetTime(COleDateTime(2026, 12, 9, 10, 59, 0));
    QTest::keyClick(&picker, Qt::Key_Up);
    EXPECT_EQ(picker.last.GetMinute(), 0);
    EXPECT_EQ(picker.last.GetHour(), 10);
}

TEST(PickerValue, TheDropDownCalendarReportsOpeningAndClosing) {
    CountingPicker picker;
    picker.SetDropDownCalendar(true);
    picker.SetTime(COleDateTime(2026, 12, 9, 10, 17, 0));
    picker.show();
    // A click on the arrow at the right edge opens the calendar.
    QTest::mouseClick(&picker, Qt::LeftButton, Qt::NoModifier,
                      QPoint(picker.width() - 4, picker.height() / 2));
    EXPECT_EQ(picker.dropDowns, 1);
    QTest::keyClick(picker.calendarWidget(), Qt::Key_Escape);
    EXPECT_EQ(picker.closeUps, 1);
}

TEST(MinuteUnit, TheWordFollowsTheMinute) {
    CMyDateTimePickCtrl picker;
    picker.SetTime(COleDateTime(2026, 12, 9, 0, 1, 0));
    EXPECT_TRUE(picker.SetDisplayFormat(LoadResString(132), true));
    EXPECT_EQ(Shown(picker).toStdString(), "1 Minuta po pełnej godzinie");
    QTest::keyClick(&picker, Qt::Key_Up);
    EXPECT_EQ(Shown(picker).toStdString(), "2 Minut(y) po pełnej godzinie");
    QTest::keyClick(&picker, Qt::Key_Down);
    EXPECT_EQ(Shown(picker).toStdString(), "1 Minuta po pełnej godzinie");
    QTest::keyClick(&picker, Qt::Key_Down);
    EXPECT_EQ(Shown(picker).toStdString(), "0 Minut(y) po pełnej godzinie");
}

TEST(MinuteUnit, AnotherFormatEndsTheModeAndATemplateWithoutWordStays) {
    CMyDateTimePickCtrl picker;
    picker.SetTime(COleDateTime(2026, 12, 9, 7, 1, 0));
    picker.SetDisplayFormat("m' min.", true);
    EXPECT_EQ(Shown(picker), "1 min.");
    EXPECT_TRUE(picker.SetDisplayFormat("HH':'mm", false));
    EXPECT_FALSE(picker.IsMinuteUnit());
    QTest::keyClick(&picker, Qt::Key_Up);
    EXPECT_EQ(Shown(picker), "08:01");
    // Other percent sequences in a template are not interpreted.
    picker.SetDisplayFormat("m' %d %s %n", true);
    EXPECT_EQ(Shown(picker).toStdString(), "1 %d Minuta %n");
}

} // namespace

TEST(PickerValue, TypedDigitsFillTheFieldsFromWhereTheCursorIs) {
    CDateTimePickCtrl picker;
    picker.SetFormat("HH':'mm");
    picker.SetTime(COleDateTime(2026, 12, 9, 9, 15, 0));
    picker.show();
    picker.setFocus();
    // Clicked into the field: the cursor stands in the hour, nothing selected.
    auto* edit = picker.findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    for (int cursor : {0, 1, 2}) {
        edit->deselect();
        edit->setCursorPosition(cursor);
        const int x = edit->fontMetrics().horizontalAdvance(picker.text().left(cursor)) + 3;
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(x, edit->height() / 2));
        QTest::keyClicks(&picker, cursor == 1 ? "0745" : "0830");
        COleDateTime value;
        ASSERT_EQ(picker.GetTime(value), GDT_VALID);
        EXPECT_EQ(picker.text(), QString(cursor == 1 ? "07:45" : "08:30")) << cursor;
    }
}
