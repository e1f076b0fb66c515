#pragma once

// A private state root for one fuzzing process, on a memory file system when
// there is one (every registry write is a synced commit), removed at exit.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

inline const std::string& FuzzStateRoot() {
    static const std::string root = [] {
        char shm[] = "/dev/shm/vex-fuzz-XXXXXX";
        char tmp[] = "/tmp/vex-fuzz-XXXXXX";
        const char* dir = mkdtemp(shm);
        if (!dir)
            dir = mkdtemp(tmp);
        std::string path = dir ? dir : "/tmp/vex-fuzz";
        setenv("RAMPART_ROOT", path.c_str(), 1);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(std::getenv("RAMPART_ROOT"), ec);
        });
        return path;
    }();
    return root;
}
