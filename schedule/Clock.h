#pragma once

#include <ctime>
#include <optional>

// The one source of "now" for the schedules and the countdown texts: the real
// clock, unless a test has fixed it.
time_t CurrentTime();

// A value fixes the clock at that time; std::nullopt returns to the real clock.
void SetCurrentTimeForTesting(std::optional<time_t> now);
