#pragma once

#include <string_view>

// How many worker threads a scan may keep busy: the processors in the
// calling thread's affinity mask, fewer when the CPU quota of the process's
// cgroup (cgroup v2 "cpu.max" of its own group and its parents) allows
// less; at least 1.
unsigned UsableProcessors();

// The processors that a cgroup v2 "cpu.max" text allows, rounded up
// ("150000 100000": 2); 0 for no limit ("max 100000") or a text that names
// none.
unsigned ProcessorsOfQuota(std::string_view cpuMax);
