#include "CpuLoad.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace {

// The summary line is the first one; a few hundred bytes hold it.
constexpr size_t kReadSize = 4096;

} // namespace

bool CCpuLoad::ParseStat(const char* data, size_t size, Sample& sample) {
    std::string_view text(data, size);
    size_t end = text.find('\n');
    if (end == std::string_view::npos)
        return false;
    std::string_view line = text.substr(0, end);
    if (line.substr(0, 4) != "cpu ")
        return false;
    line.remove_prefix(4);
    // user nice system idle iowait irq softirq steal (guest times are already
    // counted in user and nice).
    uint64_t v[8] = {};
    int count = 0;
    while (count < 8) {
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        if (line.empty())
            break;
        auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), v[count]);
        if (ec != std::errc() || ptr == line.data())
            return false;
        line.remove_prefix(static_cast<size_t>(ptr - line.data()));
        if (!line.empty() && line.front() != ' ')
            return false;
        ++count;
    }
    if (count < 4)
        return false;
    Sample s;
    bool overflow = false;
    for (int i : {0, 1, 2, 5, 6, 7})
        overflow |= __builtin_add_overflow(s.busy, v[i], &s.busy);
    overflow |= __builtin_add_overflow(s.busy, v[3], &s.total);
    overflow |= __builtin_add_overflow(s.total, v[4], &s.total);
    if (overflow)
        return false;
    sample = s;
    return true;
}

int CCpuLoad::Percent(const Sample& from, const Sample& to) {
    if (to.total <= from.total || to.busy < from.busy)
        return 0;
    uint64_t total = to.total - from.total;
    uint64_t busy = to.busy - from.busy;
    if (busy >= total)
        return 100;
    // Rounded to the nearest percent.
    return static_cast<int>(
        std::lround(100.0L * static_cast<long double>(busy) / static_cast<long double>(total)));
}

bool CCpuLoad::Take(Sample& sample) const {
    int fd = ::open(m_strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[kReadSize];
    ssize_t n;
    do {
        n = ::read(fd, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    return n > 0 && ParseStat(buf, static_cast<size_t>(n), sample);
}

bool CCpuLoad::Start() {
    m_bHaveLast = Take(m_last);
    return m_bHaveLast;
}

int CCpuLoad::Read() {
    Sample now;
    if (!Take(now))
        return 0;
    int percent = m_bHaveLast ? Percent(m_last, now) : 0;
    m_last = now;
    m_bHaveLast = true;
    return percent;
}
