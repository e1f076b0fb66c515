#include "DaySearch.h"

namespace {

// Any reachable day of week turns up within 7 days, any day of the month
// (even the 31st) within 62; this bound only stops a search for a day that
// does not exist.
constexpr int kMaxDays = 400;

bool IsLeap(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
}

void NextDay(CalendarDay& d) {
    d.dayOfWeek = d.dayOfWeek % 7 + 1;
    if (++d.day <= DaysInMonth(d.year, d.month))
        return;
    d.day = 1;
    if (++d.month <= 12)
        return;
    d.month = 1;
    ++d.year;
}

CalendarDay ToDay(const DateFields& f) {
    return {f.year, f.month, f.day, f.dayOfWeek};
}

// Adds whole days to the value and reads each day back, exactly as the
// calendar getters see it. Used where the plain calendar walk could differ:
// before 1899-12-30 (where the day count runs backwards) and near the end of
// the range (where a step can leave it).
DaySearchResult WalkValues(COleDateTime t, bool tomorrow, DayMatch match, CalendarDay& day) {
    if (tomorrow)
        t += COleDateTimeSpan(1, 0, 0, 0);
    for (int i = 0; i <= kMaxDays; ++i) {
        DateFields f;
        if (!t.GetDateFields(f))
            return DaySearchResult::Unreadable;
        if (match(f.dayOfWeek, f.day)) {
            day = ToDay(f);
            return DaySearchResult::Found;
        }
        t += COleDateTimeSpan(1.0);
    }
    return DaySearchResult::NotFound;
}

} // namespace

namespace {

DaySearchResult FindFrom(const COleDateTime& from, const DateFields& f, bool tomorrow,
                         DayMatch match, CalendarDay& day) {
    if (from.m_dt < 0 || from.m_dt + kMaxDays + 2 > COleDateTime::kMaxDate)
        return WalkValues(from, tomorrow, match, day);

    // From 1899-12-30 on, adding a day to the value moves its fields to the
    // next calendar day, so the walk can run on the fields alone.
    CalendarDay d = ToDay(f);
    if (tomorrow)
        NextDay(d);
    for (int i = 0; i <= kMaxDays; ++i, NextDay(d)) {
        if (match(d.dayOfWeek, d.day)) {
            day = d;
            return DaySearchResult::Found;
        }
    }
    return DaySearchResult::NotFound;
}

} // namespace

DaySearchResult FindStartDay(const COleDateTime& ref, int nTime, DayMatch match, CalendarDay& day) {
    DateFields f;
    if (!ref.GetDateFields(f))
        return DaySearchResult::Unreadable;
    return FindFrom(ref, f, f.hour * 60 + f.minute >= nTime, match, day);
}

DaySearchResult FindDay(const COleDateTime& from, bool bSkipToday, DayMatch match,
                        CalendarDay& day) {
    DateFields f;
    if (!from.GetDateFields(f))
        return DaySearchResult::Unreadable;
    return FindFrom(from, f, bSkipToday, match, day);
}

COleDateTime StartOnDay(const CalendarDay& day, int nTime) {
    return COleDateTime(day.year, day.month, day.day, 0, 0, 0) + COleDateTimeSpan(0, 0, nTime, 0);
}
