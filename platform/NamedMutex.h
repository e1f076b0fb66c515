#pragma once

// A named mutex between processes: an exclusive flock() on the lock file
// <state root>/<name>.lock. The owner holds it for as long as it lives; the
// kernel releases it when the owner exits or is killed. The descriptor is
// close-on-exec, so programs started by the owner do not inherit the lock.

#include <string>

class CNamedMutex {
public:
    explicit CNamedMutex(const char* pszName);
    ~CNamedMutex();

    CNamedMutex(const CNamedMutex&) = delete;
    CNamedMutex& operator=(const CNamedMutex&) = delete;

    // Takes the lock without waiting (creating the state root and the lock
    // file when needed). False when another owner holds it or it cannot be
    // made. Taking it again while owned is a no-op returning true.
    bool TryLock();
    void Unlock();
    bool IsOwned() const { return m_fd >= 0; }

    // The zero-time presence test: true when some other owner (another
    // process or another object) holds the lock right now. A missing state
    // root or lock file means nobody holds it; nothing is created.
    static bool IsHeld(const char* pszName);

    static std::string LockPath(const char* pszName);

private:
    std::string m_strName;
    int m_fd = -1;
};

inline constexpr const char* kServerMutexName = "VexServ";
