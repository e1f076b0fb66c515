#pragma once

// A fresh state root for one test: a temporary directory that RAMPART_ROOT
// points at while the object lives. Afterwards it removes the event
// semaphores of that root (even when the test pointed RAMPART_ROOT elsewhere
// meanwhile) and the directory, and unsets RAMPART_ROOT.

#include "NamedBroadcast.h"
#include "NamedEvent.h"

#include <cstdlib>
#include <filesystem>
#include <string>

class CTempStateRoot {
public:
    CTempStateRoot() {
        char dir[] = "/tmp/vex-state-XXXXXX";
        m_bValid = mkdtemp(dir) != nullptr;
        m_path = m_bValid ? dir : "/tmp/vex-state-failed";
        setenv("RAMPART_ROOT", m_path.c_str(), 1);
    }
    ~CTempStateRoot() {
        setenv("RAMPART_ROOT", m_path.c_str(), 1);
        CNamedEvent::Remove(kServerEventName);
        CNamedBroadcast::Remove(kClientEventName);
        CNamedEvent::Remove("TestEvent");
        CNamedBroadcast::Remove("TestEvent");
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
        unsetenv("RAMPART_ROOT");
    }
    CTempStateRoot(const CTempStateRoot&) = delete;
    CTempStateRoot& operator=(const CTempStateRoot&) = delete;

    bool IsValid() const { return m_bValid; }
    const std::string& Path() const { return m_path; }

private:
    bool m_bValid = false;
    std::string m_path;
};
