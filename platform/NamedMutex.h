#pragma once

// A named mutex between processes: an exclusive flock() on the lock file
// <state root>/<name>.lock. The owner holds it for as long as it lives; the
// kernel releases it when the owner exits or is killed. The descriptor is
// close-on-exec, so programs started by the owner do not inherit the lock.
//
// A lock file can be deleted, or the whole state root made anew, under a
// living owner; a second owner would then lock a new file. So the owner also
// listens on sockets in the abstract name space, which no file operation can
// take away, and checks now and then (Verify) that its file is still in place:
// one named from the root's name secret (NameSecret.h), and one named from
// the user, the root's path and the mutex name, which outlives a root made
// anew. Any local user can bind the second name, or learn the first from a
// listing while it is bound, so a name counts only when the credentials of
// whoever listens on it (SO_PEERCRED) are the caller's; one that another user
// holds is passed over, and the lock file decides.

#include <string>

class CNamedMutex {
public:
    explicit CNamedMutex(const char* pszName);
    ~CNamedMutex();

    CNamedMutex(const CNamedMutex&) = delete;
    CNamedMutex& operator=(const CNamedMutex&) = delete;

    // Takes the lock without waiting (creating the state root, its name
    // secret and the lock file when needed). False when another owner holds
    // it (IsBusy) or it cannot be made (Error says why, unless the lock file
    // itself failed). Taking it again while owned is a no-op returning true.
    bool TryLock();
    void Unlock();
    bool IsOwned() const { return m_fd >= 0; }
    bool IsBusy() const { return m_bBusy; }
    const std::string& Error() const { return m_strError; }
    // After TryLock: a user other than the caller who holds one of the names,
    // which the lock then goes without; -1 when there is none.
    long OtherUid() const { return m_nOtherUid; }

    // For the owner: makes sure the lock file at the path is still the one
    // it locked, making and locking it anew when it was deleted or replaced.
    // False when that fails (the lock is then given up).
    bool Verify();

    // The zero-time presence test. bHeld: some other owner of the caller's
    // (another process or another object) holds the lock right now.
    // nOtherUid: another user holds one of its names (-1: nobody does). A
    // missing state root, name secret or lock file means nobody holds it;
    // nothing is created.
    struct CPresence {
        bool bHeld = false;
        long nOtherUid = -1;
    };
    static CPresence Presence(const char* pszName);
    static bool IsHeld(const char* pszName) { return Presence(pszName).bHeld; }

    static std::string LockPath(const char* pszName);

private:
    bool LockFile();
    bool BindName(const std::string& strName, int& socketFd);
    void CloseSockets();

    std::string m_strName;
    int m_fd = -1;
    int m_socket = -1;       // bound under the name from the secret
    int m_publicSocket = -1; // bound under the name from the root's path
    bool m_bBusy = false;
    long m_nOtherUid = -1;
    std::string m_strError;
};

inline constexpr const char* kServerMutexName = "VexServ";
