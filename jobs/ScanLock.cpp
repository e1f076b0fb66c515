#include "ScanLock.h"

#include "RegistryDb.h"
#include "StatePaths.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

std::string CScanLock::LockPath(const char* pszJobName) {
    // A name may hold any bytes, a slash included: the file is named by a
    // digest of the folded name instead.
    const std::string fold = CRegistryDb::FoldName(pszJobName != nullptr ? pszJobName : "");
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(fold), QCryptographicHash::Sha256);
    return StatePath(("scan-" + digest.toHex().left(32).toStdString() + ".lock").c_str());
}

CScanLock::CScanLock(const char* pszJobName) : m_strPath(LockPath(pszJobName)) {}

CScanLock::~CScanLock() {
    if (m_fd >= 0)
        close(m_fd);
}

bool CScanLock::TryLock(bool* pbCannotMake) {
    if (pbCannotMake != nullptr)
        *pbCannotMake = false;
    if (m_fd >= 0)
        return true;
    const int fd =
        EnsureStateRoot() ? open(m_strPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600) : -1;
    if (fd < 0) {
        if (pbCannotMake != nullptr)
            *pbCannotMake = true;
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    // What the previous scan wrote about itself is no longer true.
    (void)!ftruncate(fd, 0);
    m_fd = fd;
    return true;
}

bool CScanLock::IsRunning(const char* pszJobName) {
    const int fd = open(LockPath(pszJobName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool bFree = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return !bFree;
}
