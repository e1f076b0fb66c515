#pragma once

#include "OleDateTime.h"

#include <cstdint>

// The next-start search shared by the kinds that start at a minute of the day
// on chosen days (daily, weekly, monthly).

// One day of the calendar. dayOfWeek counts 1 = Sunday ... 7 = Saturday.
struct CalendarDay {
    int year;
    int month;
    int day;
    int dayOfWeek;
};

// Which days start a job: bit n of mask set means value n of the field matches.
struct DayMatch {
    enum Field { DayOfWeek, DayOfMonth };
    Field field;
    std::uint32_t mask;

    bool operator()(int dayOfWeek, int dayOfMonth) const {
        const int value = field == DayOfWeek ? dayOfWeek : dayOfMonth;
        return value >= 0 && value < 32 && (mask >> value & 1u) != 0;
    }
};

enum class DaySearchResult {
    Found,
    Unreadable, // the reference is not a readable date
    NotFound,   // no matching day within a year and a month
};

// The day of the next start at minute nTime (0..1440): starting today when
// the reference's hour and minute lie before nTime, otherwise tomorrow, the
// first day that match accepts.
DaySearchResult FindStartDay(const COleDateTime& ref, int nTime, DayMatch match, CalendarDay& day);

// The first day that match accepts, from the day of `from` on, or from the
// day after it when bSkipToday.
DaySearchResult FindDay(const COleDateTime& from, bool bSkipToday, DayMatch match,
                        CalendarDay& day);

// COleDateTime(day, 00:00:00) + nTime minutes.
COleDateTime StartOnDay(const CalendarDay& day, int nTime);

// The whole next-start rule of a day-based kind: t becomes the start on the
// day FindStartDay finds. False, with t unchanged, when there is no valid
// start: an unreadable reference, no matching day, or a start beyond the
// calendar's range.
bool NextStartOnDay(COleDateTime& t, int nTime, DayMatch match);
