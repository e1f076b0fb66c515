#include "Processors.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <string>
#include <thread>

namespace {

// Processors in the affinity mask, with a mask as large as the system needs.
unsigned AffinityProcessors() {
    for (int nCpus = 1024; nCpus <= 1 << 16; nCpus *= 2) {
        cpu_set_t* set = CPU_ALLOC(nCpus);
        if (!set)
            break;
        const size_t size = CPU_ALLOC_SIZE(nCpus);
        const bool ok = ::sched_getaffinity(0, size, set) == 0;
        const int count = ok ? CPU_COUNT_S(size, set) : 0;
        CPU_FREE(set);
        if (ok)
            return static_cast<unsigned>(count);
        if (errno != EINVAL)
            break;
    }
    return std::thread::hardware_concurrency();
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The process's group in the cgroup v2 hierarchy ("0::/user.slice/..."), or
// empty.
std::string OwnCgroup() {
    std::istringstream lines(ReadText("/proc/self/cgroup"));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("0::/", 0) == 0)
            return line.substr(3);
    return {};
}

// The smallest quota of the group and its parents, in processors; 0: none.
unsigned QuotaProcessors() {
    unsigned least = 0;
    std::string group = OwnCgroup();
    while (group.size() > 1) {
        const unsigned n = ProcessorsOfQuota(ReadText("/sys/fs/cgroup" + group + "/cpu.max"));
        if (n != 0 && (least == 0 || n < least))
            least = n;
        group.erase(std::max<size_t>(group.rfind('/'), 1)); // the parent; "/" ends
    }
    return least;
}

bool ParseNumber(std::string_view text, unsigned long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0;
}

} // namespace

unsigned ProcessorsOfQuota(std::string_view cpuMax) {
    while (!cpuMax.empty() && (cpuMax.back() == '\n' || cpuMax.back() == ' '))
        cpuMax.remove_suffix(1);
    const size_t space = cpuMax.find(' ');
    unsigned long long quota = 0, period = 0;
    if (space == std::string_view::npos || !ParseNumber(cpuMax.substr(0, space), quota) ||
        !ParseNumber(cpuMax.substr(space + 1), period))
        return 0;
    const unsigned long long n = quota / period + (quota % period != 0 ? 1 : 0);
    return static_cast<unsigned>(std::min<unsigned long long>(n, ~0u));
}

unsigned UsableProcessors() {
    unsigned n = AffinityProcessors();
    if (const unsigned quota = QuotaProcessors(); quota != 0 && (n == 0 || quota < n))
        n = quota;
    return std::max(n, 1u);
}
