#include "NamedEvent.h"

#include "NameSecret.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string SafeName(const char* pszName) {
    std::string name;
    for (const char* p = pszName ? pszName : ""; *p && name.size() < 64; ++p) {
        const char c = *p;
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        name += ok ? c : '_';
    }
    return name;
}

timespec DeadlineAfter(int nTimeoutMs) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    ts.tv_sec += nTimeoutMs / 1000;
    ts.tv_nsec += static_cast<long>(nTimeoutMs % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

} // namespace

std::string CNamedEvent::SemaphoreName(const char* pszName, std::string* pstrError) {
    const std::string stem = SecretNameStem(true, pstrError);
    return stem.empty() ? stem : stem + SafeName(pszName);
}

void CNamedEvent::Remove(const char* pszName) {
    sem_unlink(SemaphoreName(pszName).c_str());
}

bool CNamedEvent::CheckOwner(const char* pszName, std::string& strError) {
    // Linux keeps named semaphores as files "sem.NAME" in /dev/shm, whose
    // sticky bit keeps others from replacing ours once checked.
    const std::string name = SemaphoreName(pszName, &strError);
    if (name.empty())
        return strError.empty(); // no state root yet, so no event of it either
    const std::string path = "/dev/shm/sem." + name.substr(1);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return true;
    if (st.st_uid != geteuid()) {
        strError = "zdarzenie " + path + " należy do użytkownika " + std::to_string(st.st_uid) +
                   ", nie do ciebie; usuń je (jako ten użytkownik albo root) i uruchom program "
                   "ponownie";
        return false;
    }
    if (st.st_mode & (S_IWGRP | S_IWOTH | S_IRGRP | S_IROTH)) {
        strError = "zdarzenie " + path +
                   " jest dostępne dla innych użytkowników; usuń je i uruchom program ponownie";
        return false;
    }
    return true;
}

CNamedEvent::CNamedEvent(const char* pszName) {
    const std::string stem = SecretNameStem(true, &m_strError);
    if (stem.empty())
        return;
    const std::string name = stem + SafeName(pszName);
    m_pUse = std::make_unique<CNameUse>(stem);
    m_pUse->AddSemaphore(name);
    Open(pszName, name);
    if (m_pSem == SEM_FAILED)
        m_pUse->Forget();
}

void CNamedEvent::Open(const char* pszName, const std::string& name) {
    // The usual case first: it exists. Creating one writes a temporary file
    // in /dev/shm before the name is linked to it, which a kill in between
    // would leave there for good.
    if (!CheckOwner(pszName, m_strError))
        return;
    m_pSem = sem_open(name.c_str(), 0);
    if (m_pSem != SEM_FAILED || errno != ENOENT)
        return;
    m_pSem = sem_open(name.c_str(), O_CREAT | O_EXCL, 0600, 0);
    if (m_pSem != SEM_FAILED || errno != EEXIST)
        return;
    // Made by someone else before us: use it only when it is our own.
    if (CheckOwner(pszName, m_strError))
        m_pSem = sem_open(name.c_str(), 0);
}

CNamedEvent::~CNamedEvent() {
    if (m_pSem != SEM_FAILED)
        sem_close(m_pSem);
}

bool CNamedEvent::Set() {
    if (m_pSem == SEM_FAILED)
        return false;
    // Already set: another signal adds nothing. Two setters racing past this
    // test can leave the count at 2, which costs at most one extra wake-up.
    int nValue = 0;
    if (sem_getvalue(m_pSem, &nValue) == 0 && nValue > 0)
        return true;
    return sem_post(m_pSem) == 0;
}

bool CNamedEvent::Wait(int nTimeoutMs) {
    if (m_pSem == SEM_FAILED)
        return false;
    int rc;
    if (nTimeoutMs < 0) {
        while ((rc = sem_wait(m_pSem)) != 0 && errno == EINTR) {
        }
    } else if (nTimeoutMs == 0) {
        rc = sem_trywait(m_pSem);
    } else {
        const timespec deadline = DeadlineAfter(nTimeoutMs);
        while ((rc = sem_clockwait(m_pSem, CLOCK_MONOTONIC, &deadline)) != 0 && errno == EINTR) {
        }
    }
    if (rc != 0)
        return false;
    Drain();
    return true;
}

// Auto-reset: the signals that piled up while nobody waited are one wake-up.
// Whatever their senders changed was committed before they signalled, so the
// waiter's next read sees it.
void CNamedEvent::Drain() {
    while (sem_trywait(m_pSem) == 0) {
    }
}
