#include "DaySearch.h"

#include <bit>

namespace {

// Each step of the search either lands on a matching day or moves to the
// first day of the next month; any day of the month (even the 31st) turns up
// within two months, any weekday within one step. The bound only ends a
// search for a day that does not exist.
constexpr int kMaxSteps = 24;

bool IsLeap(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
}

// Moves d forward by n >= 0 days.
void AddDays(CalendarDay& d, int n) {
    d.dayOfWeek = (d.dayOfWeek - 1 + n) % 7 + 1;
    d.day += n;
    for (int length; d.day > (length = DaysInMonth(d.year, d.month));) {
        d.day -= length;
        if (++d.month > 12) {
            d.month = 1;
            ++d.year;
        }
    }
}

// Days from d to the first matching day from d on (d included); for a day of
// the month that this month lacks, the days to the 1st of the next month.
// -1 when no day can ever match.
int DaysToCandidate(const CalendarDay& d, DayMatch match) {
    if (match.field == DayMatch::DayOfWeek) {
        for (int k = 0; k < 7; ++k)
            if (match((d.dayOfWeek - 1 + k) % 7 + 1, 0))
                return k;
        return -1;
    }
    const int length = DaysInMonth(d.year, d.month);
    std::uint32_t days = match.mask >> d.day << d.day; // from today on
    if (length < 31)
        days &= (2u << length) - 1; // up to the month's last day
    return days != 0 ? std::countr_zero(days) - d.day : length - d.day + 1;
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
        AddDays(d, 1);
    for (int step = 0; step < kMaxSteps; ++step) {
        const int n = DaysToCandidate(d, match);
        if (n < 0)
            break;
        AddDays(d, n);
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
