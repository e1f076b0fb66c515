#pragma once

// Between local wall-clock times and real instants, across daylight-saving
// changes. A wall-clock time in the hour that the spring change skips has no
// instant of its own: it stands for the moment of the change, when the clock
// first shows a later time. A time in the hour that the autumn change repeats
// has two instants: the earlier one unless the later is asked for.

#include "OleDateTime.h"

#include <ctime>
#include <string>

time_t InstantOf(const COleDateTime& wall, bool bLater = false);

// The wall-clock time of t was also shown an hour (or the size of the change)
// earlier: t lies in the second pass of a repeated hour.
bool IsLaterOccurrence(time_t t);

// The first instant after `after` at which the local clock shows second 0 of
// minute nMinute (0..59) of some hour: an hourly start, once per real hour.
time_t NextMinuteOfHour(time_t after, int nMinute);

// t as local time in ISO 8601 with its offset: "2026-10-25T02:30:00+01:00",
// so that both passes of a repeated hour read apart in logs.
std::string IsoLocalTime(time_t t);
