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

DaySearchResult FindFrom(const DateFields& f, bool tomorrow, DayMatch match, CalendarDay& day) {
    // Adding a whole day to a value moves its fields to the next calendar
    // day (before 1899-12-30 too, through the linear day count), so the walk
    // runs on the fields alone. A day past 9999-12-31 gives no valid start,
    // which StartOnDay reports.
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
    return FindFrom(f, f.hour * 60 + f.minute >= nTime, match, day);
}

DaySearchResult FindDay(const COleDateTime& from, bool bSkipToday, DayMatch match,
                        CalendarDay& day) {
    DateFields f;
    if (!from.GetDateFields(f))
        return DaySearchResult::Unreadable;
    return FindFrom(f, bSkipToday, match, day);
}

COleDateTime StartOnDay(const CalendarDay& day, int nTime) {
    return COleDateTime(day.year, day.month, day.day, 0, 0, 0) + COleDateTimeSpan(0, 0, nTime, 0);
}

bool NextStartOnDay(COleDateTime& t, int nTime, DayMatch match) {
    CalendarDay day;
    if (FindStartDay(t, nTime, match, day) != DaySearchResult::Found)
        return false;
    const COleDateTime start = StartOnDay(day, nTime);
    if (start.GetStatus() != DateTimeStatus::valid)
        return false;
    t = start;
    return true;
}
