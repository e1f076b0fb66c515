#pragma once

// "Now" fixed for the schedules, texts and dialogs while a test runs.

#include "Clock.h"

#include <ctime>

// Local wall-clock time as a time_t (the daylight-saving flag found by the
// library, as for a time the user types).
inline time_t LocalTime(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// Fixes the clock while it lives; the real clock returns afterwards.
class FixedClock {
public:
    explicit FixedClock(time_t now) { Set(now); }
    FixedClock(int year, int month, int day, int hour, int minute, int second)
        : FixedClock(LocalTime(year, month, day, hour, minute, second)) {}
    ~FixedClock() { SetCurrentTimeForTesting(std::nullopt); }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;

    // Moves the fixed clock to another time.
    void Set(time_t now) {
        m_now = now;
        SetCurrentTimeForTesting(now);
    }
    time_t Now() const { return m_now; }

private:
    time_t m_now = 0;
};
