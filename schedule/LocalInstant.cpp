#include "LocalInstant.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// 1970-01-01 00:00 as a day count of the date-time value.
constexpr double kUnixEpochDays = 25569.0;
constexpr long long kSecondsPerDay = 86400;
// Further apart than any two offsets of one zone around a change.
constexpr long long kHalfDay = kSecondsPerDay / 2;

// Offset of local time from UTC at t, in seconds; 0 when t cannot be broken down.
long long OffsetAt(time_t t) {
    struct tm tm;
    return localtime_r(&t, &tm) != nullptr ? tm.tm_gmtoff : 0;
}

// The wall-clock time as seconds since 1970-01-01 00:00 on a clock without a zone.
long long WallSeconds(const COleDateTime& wall) {
    return std::llround((COleDateTime::ToLinear(wall.m_dt) - kUnixEpochDays) * kSecondsPerDay);
}

bool ShowsWall(time_t t, long long wall) {
    return static_cast<long long>(t) + OffsetAt(t) == wall;
}

// The first instant in [lo, hi] whose wall-clock time is at or after `wall`;
// the clock runs forward there (the gap of a spring change).
time_t FirstAtOrAfter(long long wall, long long lo, long long hi) {
    while (lo < hi) {
        const long long mid = lo + (hi - lo) / 2;
        if (mid + OffsetAt(static_cast<time_t>(mid)) >= wall)
            hi = mid;
        else
            lo = mid + 1;
    }
    return static_cast<time_t>(lo);
}

} // namespace

time_t InstantOf(const COleDateTime& wall, bool bLater) {
    const long long w = WallSeconds(wall);
    // The offsets in force half a day before and after: the only two that
    // can apply to this wall-clock time.
    const long long before = OffsetAt(static_cast<time_t>(w - kHalfDay));
    const long long after = OffsetAt(static_cast<time_t>(w + kHalfDay));
    const time_t a = static_cast<time_t>(w - before);
    const time_t b = static_cast<time_t>(w - after);
    const bool aShows = ShowsWall(a, w);
    const bool bShows = ShowsWall(b, w);
    if (aShows && bShows && a != b)
        return bLater ? std::max(a, b) : std::min(a, b);
    if (aShows)
        return a;
    if (bShows)
        return b;
    // Skipped by the clock: the moment it jumped past this time.
    return FirstAtOrAfter(w, std::min<long long>(a, b), std::max<long long>(a, b));
}

bool IsLaterOccurrence(time_t t) {
    return InstantOf(COleDateTime(t), false) != t;
}

time_t NextMinuteOfHour(time_t after, int nMinute) {
    // From the start of the next whole minute, ahead to the wanted minute of
    // the local clock. Offsets change by whole hours almost everywhere, so
    // the first guess nearly always holds; the walk covers the rest.
    long long t = static_cast<long long>(after) + 60 - ((after % 60) + 60) % 60;
    for (int step = 0; step < 3 * 60; ++step) {
        const long long wall = t + OffsetAt(static_cast<time_t>(t));
        const long long second = ((wall % 60) + 60) % 60;
        const long long minute = ((wall / 60 % 60) + 60) % 60;
        if (second != 0) {
            t += 60 - second;
            continue;
        }
        if (minute == nMinute)
            return static_cast<time_t>(t);
        t += 60 * ((nMinute - minute + 60) % 60);
    }
    return static_cast<time_t>(t);
}

std::string IsoLocalTime(time_t t) {
    struct tm tm;
    char stamp[48];
    if (localtime_r(&t, &tm) == nullptr ||
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm) == 0)
        return std::string();
    const long offset = tm.tm_gmtoff;
    const int minutes = static_cast<int>((offset < 0 ? -offset : offset) / 60 % 1440);
    char zone[24];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return std::string(stamp) + zone;
}
