// Helper program for the multi-process store tests. It works on the job key
// of the state root in RAMPART_ROOT:
//
//   store_helper writer PREFIX MS OUTFILE
//       adds, rewrites, renames (also case-only) and deletes jobs named
//       PREFIX-... for MS milliseconds, then writes the state it expects
//       (one "name<TAB>dir" line per job) to OUTFILE. Exit 0, or 1 when a
//       store operation failed.
//   store_helper ack-writer PREFIX ACKFILE
//       rewrites jobs PREFIX-0 ... PREFIX-49 with directory "/d/<i>" for
//       i = 0, 1, ... until killed, appending "i" to ACKFILE after each
//       acknowledged write.
//   store_helper enumerate MS
//       enumerates the key for MS milliseconds and checks every value: it
//       must load as a job whose name is the value's name. Exit 0, or 2 when
//       a torn or foreign value was seen.

#include "ScanRegInterface.h"
#include "TestJobs.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class CCountingSink : public IMessageSink {
public:
    void ShowMessage(unsigned nStringId) override {
        std::fprintf(stderr, "store_helper: message %u\n", nStringId);
        ++m_nMessages;
    }
    int m_nMessages = 0;
};

Clock::time_point Deadline(const char* pszMs) {
    return Clock::now() + std::chrono::milliseconds(std::atoi(pszMs));
}

struct Slot {
    std::string name; // empty: no job in this slot
    std::string dir;
};

int RunWriter(const std::string& prefix, const char* pszMs, const char* pszOut) {
    CCountingSink sink;
    CScanRegInterface store(&sink);
    if (!store.Open(kJobKeyPath))
        return 3;
    std::mt19937 random(static_cast<unsigned>(getpid()));
    Slot slots[8];
    const auto deadline = Deadline(pszMs);
    for (int step = 0; Clock::now() < deadline; ++step) {
        Slot& slot = slots[random() % 8];
        const std::string k = std::to_string(&slot - slots);
        const std::string lower = prefix + "-ząb-" + k, upper = prefix + "-ZĄB-" + k,
                          moved = prefix + "-moved-" + k;
        const std::string dir = "/d/" + std::to_string(step);
        if (slot.name.empty()) {
            auto job = MakeJob(lower.c_str(), dir.c_str());
            if (store.AddJob(*job))
                slot = {lower, dir};
            continue;
        }
        switch (random() % 4) {
        case 0:
        case 1: {
            auto job = MakeJob(slot.name.c_str(), dir.c_str());
            if (store.WriteJob(*job, kHintJobChanged, slot.name.c_str()))
                slot.dir = dir;
            break;
        }
        case 2: {
            // ząb -> ZĄB (case only) -> moved -> ząb
            const std::string& next = slot.name == lower   ? upper
                                      : slot.name == upper ? moved
                                                           : lower;
            auto job = MakeJob(next.c_str(), dir.c_str());
            if (store.WriteJob(*job, kHintJobChanged, slot.name.c_str()))
                slot = {next, dir};
            break;
        }
        default:
            if (store.DeleteJob(slot.name.c_str()))
                slot = {};
        }
    }
    FILE* out = std::fopen(pszOut, "w");
    if (!out)
        return 3;
    for (const Slot& slot : slots)
        if (!slot.name.empty())
            std::fprintf(out, "%s\t%s\n", slot.name.c_str(), slot.dir.c_str());
    std::fclose(out);
    return sink.m_nMessages == 0 ? 0 : 1;
}

int RunAckWriter(const std::string& prefix, const char* pszAck) {
    CCountingSink sink;
    CScanRegInterface store(&sink);
    const int fd = open(pszAck, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (!store.Open(kJobKeyPath) || fd < 0)
        return 3;
    for (long i = 0;; ++i) {
        const std::string name = prefix + "-" + std::to_string(i % 50);
        const std::string dir = "/d/" + std::to_string(i);
        auto job = MakeJob(name.c_str(), dir.c_str());
        if (!store.WriteJob(*job, kHintJobChanged, nullptr))
            return 1;
        const std::string line = std::to_string(i) + "\n";
        if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            return 3;
    }
}

int RunEnumerate(const char* pszMs) {
    CRegInterface store;
    if (!store.Open(kJobKeyPath))
        return 3;
    const auto deadline = Deadline(pszMs);
    long passes = 0;
    while (Clock::now() < deadline) {
        for (const StoredValue& value : ReadAllValues()) {
            if (!value.bLoads || value.jobName != value.name) {
                std::fprintf(stderr, "store_helper: bad value \"%s\" (job \"%s\")\n",
                             value.name.c_str(), value.jobName.c_str());
                return 2;
            }
        }
        // The store's own enumeration must get through as well.
        DWORD index = 0;
        CJob job;
        while (store.EnumJob(&index, &job)) {
        }
        ++passes;
    }
    std::printf("%ld passes\n", passes);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "writer" && argc == 5)
        return RunWriter(argv[2], argv[3], argv[4]);
    if (command == "ack-writer" && argc == 4)
        return RunAckWriter(argv[2], argv[3]);
    if (command == "enumerate" && argc == 3)
        return RunEnumerate(argv[2]);
    std::fprintf(stderr, "usage: store_helper writer|ack-writer|enumerate ...\n");
    return 64;
}
