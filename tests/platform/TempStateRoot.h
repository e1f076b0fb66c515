#pragma once

// A fresh state root for one test: a temporary directory that RAMPART_ROOT
// points at while the object lives. Removes the directory and the event
// semaphores of that root afterwards.

#include "NamedEvent.h"

#include <cstdlib>
#include <filesystem>
#include <string>

class CTempStateRoot {
public:
    CTempStateRoot() {
        char dir[] = "/tmp/vex-state-XXXXXX";
        m_path = mkdtemp(dir) ? dir : "/tmp/vex-state-failed";
        setenv("RAMPART_ROOT", m_path.c_str(), 1);
    }
    ~CTempStateRoot() {
        CNamedEvent::Remove(kServerEventName);
        CNamedEvent::Remove(kClientEventName);
        CNamedEvent::Remove("TestEvent");
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
        unsetenv("RAMPART_ROOT");
    }
    CTempStateRoot(const CTempStateRoot&) = delete;
    CTempStateRoot& operator=(const CTempStateRoot&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
