#include "NamedMutex.h"

#include "StatePaths.h"

#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

std::string CNamedMutex::LockPath(const char* pszName) {
    return StatePath((std::string(pszName ? pszName : "") + ".lock").c_str());
}

CNamedMutex::CNamedMutex(const char* pszName) : m_strName(pszName ? pszName : "") {}

CNamedMutex::~CNamedMutex() {
    Unlock();
}

bool CNamedMutex::TryLock() {
    if (m_fd >= 0)
        return true;
    if (!EnsureStateRoot())
        return false;
    const int fd = open(LockPath(m_strName.c_str()).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    // The owner's process id, for people looking at the file; nobody reads it.
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0 && write(fd, pid.data(), pid.size()) < 0) {
        // Only informative; the lock itself is what counts.
    }
    m_fd = fd;
    return true;
}

void CNamedMutex::Unlock() {
    if (m_fd < 0)
        return;
    close(m_fd); // releases the flock
    m_fd = -1;
}

bool CNamedMutex::IsHeld(const char* pszName) {
    const int fd = open(LockPath(pszName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool bFree = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return !bFree;
}
