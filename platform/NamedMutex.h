#pragma once

// A named mutex between processes: an exclusive flock() on the lock file
// <state root>/<name>.lock. The owner holds it for as long as it lives; the
// kernel releases it when the owner exits or is killed. The descriptor is
// close-on-exec, so programs started by the owner do not inherit the lock.
//
// A lock file can be deleted, or the whole state root made anew, under a
// living owner; a second owner would then lock a new file. So the owner also
// binds a socket in the abstract name space under a name derived from the
// user, the state root and the mutex name, which no file operation can take
// away, and checks now and then (Verify) that its file is still in place.

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

    // For the owner: makes sure the lock file at the path is still the one
    // it locked, making and locking it anew when it was deleted or replaced.
    // False when that fails (the lock is then given up).
    bool Verify();

    // The zero-time presence test: true when some other owner (another
    // process or another object) holds the lock right now. A missing state
    // root or lock file means nobody holds it; nothing is created.
    static bool IsHeld(const char* pszName);

    static std::string LockPath(const char* pszName);

    // The user id of whoever holds the name's socket, -1 when nobody does.
    static long HolderUid(const char* pszName);

private:
    bool LockFile();

    std::string m_strName;
    int m_fd = -1;
    int m_socket = -1;
};

inline constexpr const char* kServerMutexName = "VexServ";
