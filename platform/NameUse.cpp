#include "NameUse.h"

#include "NameSecret.h"
#include "NamedEvent.h"

#include <cerrno>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/file.h>
#include <sys/mman.h>
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

void CNameUse::RemoveNames() const {
    ::sem_unlink((m_strStem + kServerEventName).c_str());
    ::shm_unlink((m_strStem + kClientEventName + ".all").c_str());
    if (!m_strOwnSemaphore.empty())
        ::sem_unlink(m_strOwnSemaphore.c_str());
    if (!m_strOwnShared.empty())
        ::shm_unlink(m_strOwnShared.c_str());
}
