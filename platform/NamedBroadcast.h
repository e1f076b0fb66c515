#pragma once

// A named event that every waiter sees, shared between processes of one
// state root.
//
// Set() raises a generation counter in shared memory and wakes every waiting
// thread. Each object remembers the last generation it saw: Wait() returns
// true once for any number of signals since that object's previous Wait (or
// its construction), so several signals collapse into one wake-up per waiter
// and no waiter takes a signal away from another. The counter lives in a
// POSIX shared memory object named like the events of the same root.

#include "NameUse.h"

#include <cstdint>
#include <memory>
#include <string>

class CNamedBroadcast {
public:
    // Creates the shared counter or opens the one another process created.
    // The state root is the one in force at construction.
    explicit CNamedBroadcast(const char* pszName);
    ~CNamedBroadcast();

    CNamedBroadcast(const CNamedBroadcast&) = delete;
    CNamedBroadcast& operator=(const CNamedBroadcast&) = delete;

    // False when the counter could not be opened (or belongs to another
    // user); every call then fails.
    bool IsValid() const { return m_pCounter != nullptr; }

    // Signals every waiter of the name. Safe in a signal handler.
    bool Set();

    // Waits until a signal newer than the last one this object saw.
    // nTimeoutMs < 0 waits without limit, 0 only tests. False on timeout.
    bool Wait(int nTimeoutMs = -1);

    // The shared memory name used for pszName under the current state root;
    // empty without a usable name secret (see CNamedEvent::SemaphoreName).
    static std::string SharedName(const char* pszName);

    // Removes the counter of pszName under the current state root. For tests
    // and clean-up only.
    static void Remove(const char* pszName);

private:
    bool Open(const std::string& name);

    uint32_t* m_pCounter = nullptr;
    uint32_t m_nSeen = 0;
    std::unique_ptr<CNameUse> m_pUse; // goes after the counter is unmapped
};
