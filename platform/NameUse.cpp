#include "NameUse.h"

#include "NameSecret.h"
#include "NamedEvent.h"

#include <cerrno>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

CNameUse::CNameUse(const std::string& stem) : m_strStem(stem) {
    if (stem.empty())
        return;
    m_fd = ::open(NameSecretPath().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (m_fd < 0)
        return;
    while (::flock(m_fd, LOCK_SH) != 0 && errno == EINTR) {
    }
}

CNameUse::~CNameUse() {
    if (m_fd < 0)
        return;
    // Anyone else still holding the secret keeps the names; a failed
    // conversion may drop our shared lock, which we give up anyway.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        RemoveNames();
    ::close(m_fd);
}

void CNameUse::Forget() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

namespace {

// Only a name of ours that nobody else may use goes: one that others can
// reach was refused, and stays to be named in that refusal.
bool IsOwnAndClosed(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

void RemoveSemaphore(const std::string& name) {
    if (!name.empty() && IsOwnAndClosed("/dev/shm/sem." + name.substr(1)))
        ::sem_unlink(name.c_str());
}

void RemoveShared(const std::string& name) {
    if (!name.empty() && IsOwnAndClosed("/dev/shm" + name))
        ::shm_unlink(name.c_str());
}

} // namespace

void CNameUse::RemoveNames() const {
    RemoveSemaphore(m_strStem + kServerEventName);
    RemoveShared(m_strStem + kClientEventName + ".all");
    RemoveSemaphore(m_strOwnSemaphore);
    RemoveShared(m_strOwnShared);
}
