#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The busy share of all processors between two readings of /proc/stat.
class CCpuLoad {
public:
    struct Sample {
        uint64_t busy = 0;  // time spent working
        uint64_t total = 0; // busy plus idle and waiting
    };

    // Reads the "cpu" summary line at the start of the text of /proc/stat.
    // False when it is missing or damaged.
    static bool ParseStat(const char* data, size_t size, Sample& sample);
    // Busy percent (0..100) between two samples; 0 when no time has passed.
    static int Percent(const Sample& from, const Sample& to);

    explicit CCpuLoad(std::string path = "/proc/stat") : m_strPath(std::move(path)) {}

    // Takes the baseline; false when the statistics cannot be read.
    bool Start();
    // The load since the previous reading (or the baseline), in percent; 0
    // when the statistics cannot be read, so that an unknown load counts as
    // quiet.
    int Read();

private:
    bool Take(Sample& sample) const;

    std::string m_strPath;
    Sample m_last;
    bool m_bHaveLast = false;
};
