#pragma once

#include "OleDateTime.h"

#include <QDateTimeEdit>
#include <QString>

// Answers of the picker's value exchange.
constexpr int GDT_ERROR = -1;
constexpr int GDT_VALID = 0;
constexpr int GDT_NONE = 1;

// A date-time picker on QDateTimeEdit that exchanges its value as a
// COleDateTime and takes its display format in the picker syntax of the
// string table: d dd ddd dddd, M MM MMM MMMM, yy yyyy, h hh H HH, m mm, s ss,
// t tt, text in single quotes literal ('' is one quote), and a quote that is
// not closed makes the rest literal. Day and month names follow the locale.
//
// Changes made by the user reach the virtual OnDateTimeChange; opening and
// closing the drop-down calendar reach OnDropDown and OnCloseUp. Values put in
// with SetTime do not notify.
class CDateTimePickCtrl : public QDateTimeEdit {
    Q_OBJECT
public:
    explicit CDateTimePickCtrl(QWidget* pParent = nullptr);

    // GDT_VALID: value becomes the picker's date-time. GDT_NONE: the picker
    // holds no value and only the status of value changes (to null).
    int GetTime(COleDateTime& value) const;
    // A valid value is shown; any other clears the picker (no value).
    bool SetTime(const COleDateTime& value);
    // False when the format holds no field; the previous format then stays.
    // The range stays the whole calendar whatever fields the format shows.
    // bKeepCursor leaves the text cursor where it was, for a change made
    // while the user types.
    bool SetFormat(const char* pszFormat, bool bKeepCursor = false);

    // The width that shows the current format whole for any weekday and
    // month name, arrows or drop-down button included.
    int WidthForLongestText() const;

    // Drop-down calendar (true) or up-down arrows (false).
    void SetDropDownCalendar(bool bDropDown);

    // The Qt display format for a picker format; empty when it has no field.
    static QString ToQtFormat(const QString& pickerFormat);

protected:
    virtual void OnCloseUp() {}
    virtual void OnDateTimeChange(const COleDateTime& /*value*/) {}
    virtual void OnDropDown() {}

    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    // The first digit typed into a field replaces it, wherever the cursor
    // stands in it, instead of being refused by a full field.
    void keyPressEvent(QKeyEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;

private:
    void OnEdited(const QDateTime& dateTime);
    void SetNone(bool bNone);
    void SetFullRange();

    bool m_bNone = false;
    bool m_bSetting = false;
    Section m_typedSection = NoSection; // the field the last digit went into
    int m_nTypedCursor = -1;            // and where the cursor was after it
};
