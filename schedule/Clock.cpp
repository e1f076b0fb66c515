#include "Clock.h"

#include <atomic>

namespace {
// Read by the refresh thread as well as the interface thread.
std::atomic<bool> g_fixed{false};
std::atomic<time_t> g_fixedTime{0};
} // namespace

time_t CurrentTime() {
    return g_fixed.load() ? g_fixedTime.load() : time(nullptr);
}

void SetCurrentTimeForTesting(std::optional<time_t> now) {
    if (now) {
        g_fixedTime.store(*now);
        g_fixed.store(true);
    } else {
        g_fixed.store(false);
    }
}
