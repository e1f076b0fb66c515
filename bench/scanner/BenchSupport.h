#pragma once

// What the scanner benchmarks share: test data, and a program run measured
// for wall time and peak memory, several rounds with the programs taking turns.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;

constexpr int kRuns = 5;

struct Measure {
    double seconds = 0;
    long maxRssKb = 0;
    int exitCode = -1;
};

inline std::string Hex(std::mt19937_64& rng, size_t bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < bytes; ++i) {
        unsigned b = static_cast<unsigned>(rng() & 0xff);
        s += kHex[b >> 4];
        s += kHex[b & 15];
    }
    return s;
}

inline std::string RandomBytes(std::mt19937_64& rng, size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; i += 8) {
        uint64_t v = rng();
        std::memcpy(data.data() + i, &v, std::min<size_t>(8, size - i));
    }
    return data;
}

// Text-like data that compresses, so the archives really hold packed data.
inline std::string Words(std::mt19937_64& rng, size_t size) {
    static const char* kWords[] = {"skan ",   "plik ",      "folder ", "analiza ", "wirus ",
                                   "raport ", "sygnatura ", "czysto ", "zmiana ",  "kwarantanna "};
    std::string text;
    while (text.size() < size)
        text += kWords[rng() % 10];
    text.resize(size);
    return text;
}

inline void WriteFile(const fs::path& path, const std::string& data) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

inline Measure Run(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envStrings(env);
    for (char** e = environ; *e; ++e)
        envStrings.emplace_back(*e);
    std::vector<char*> envp;
    for (const std::string& e : envStrings)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Measure m;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        return m;
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.maxRssKb = usage.ru_maxrss;
    m.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return m;
}

// One program run to measure, and what must be done before each run.
struct Case {
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::function<void()> before;
};

// Runs every case once as a warm-up (page cache, library loading), then
// kRuns rounds of every case in turn, and gives each case's median wall time
// with its highest peak memory. Taking turns keeps both programs under the
// same conditions: each scanned file costs the engine a temporary folder, and
// a file system that has just deleted thousands of them (ext4 skips recently
// freed inodes) makes the next program's folders dearer.
inline std::vector<Measure> Medians(const std::vector<Case>& cases) {
    std::vector<std::vector<Measure>> runs(cases.size());
    for (int round = -1; round < kRuns; ++round) {
        for (size_t i = 0; i < cases.size(); ++i) {
            if (cases[i].before)
                cases[i].before();
            Measure m = Run(cases[i].args, cases[i].env);
            if (round >= 0)
                runs[i].push_back(m);
        }
    }
    std::vector<Measure> medians;
    for (std::vector<Measure>& r : runs) {
        std::sort(r.begin(), r.end(),
                  [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
        Measure m = r[kRuns / 2];
        for (const Measure& one : r)
            m.maxRssKb = std::max(m.maxRssKb, one.maxRssKb);
        medians.push_back(m);
    }
    return medians;
}

} // namespace bench
