#pragma once

// "A scan of this job is running": an exclusive flock on a lock file of the
// job's own in the state root. The launcher takes it and hands the locked
// descriptor to the scanner it starts, so the lock lasts exactly as long as
// that scanner (and whatever it leaves running with the descriptor) and the
// kernel drops it when the scanner ends or crashes: no stale state.

#include <string>

class CScanLock {
public:
    // Job names compare without regard to case, as the store compares them.
    explicit CScanLock(const char* pszJobName);
    ~CScanLock();
    CScanLock(const CScanLock&) = delete;
    CScanLock& operator=(const CScanLock&) = delete;

    // Takes the lock without waiting. False when a scan of the job is
    // running, or the lock file cannot be made (bCannotMake then true).
    bool TryLock(bool* pbCannotMake = nullptr);
    // The locked descriptor, -1 when not locked. Close-on-exec: a process
    // start passes it on deliberately.
    int Descriptor() const { return m_fd; }

    // A scan of the job is running right now; nothing is created.
    static bool IsRunning(const char* pszJobName);
    static std::string LockPath(const char* pszJobName);

private:
    std::string m_strPath;
    int m_fd = -1;
};
