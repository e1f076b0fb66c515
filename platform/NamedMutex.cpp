#include "NamedMutex.h"

#include "NameSecret.h"
#include "StatePaths.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The socket address of the name: abstract (leading zero byte), so it lives
// only as long as the socket and has no file behind it.
socklen_t PresenceAddress(const char* pszName, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::string name = PublicNameStem() + (pszName ? pszName : "") + ".lock";
    const size_t n = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), n);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

} // namespace

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
    const int sock = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (sock < 0)
        return false;
    sockaddr_un address{};
    const socklen_t length = PresenceAddress(m_strName.c_str(), address);
    // Listening lets the presence test connect and learn who holds it.
    if (bind(sock, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(sock, 16) != 0) {
        close(sock);
        return false;
    }
    m_socket = sock;
    if (!LockFile()) {
        close(m_socket);
        m_socket = -1;
        return false;
    }
    return true;
}

bool CNamedMutex::LockFile() {
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
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
    return true;
}

bool CNamedMutex::Verify() {
    if (m_fd < 0)
        return false;
    // Presence tests connect and leave; their connections are dropped here.
    for (int client; (client = accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
        close(client);
    struct stat held {};
    struct stat now {};
    if (fstat(m_fd, &held) == 0 && stat(LockPath(m_strName.c_str()).c_str(), &now) == 0 &&
        held.st_dev == now.st_dev && held.st_ino == now.st_ino)
        return true;
    if (EnsureStateRoot() && LockFile())
        return true;
    Unlock();
    return false;
}

void CNamedMutex::Unlock() {
    if (m_fd >= 0)
        close(m_fd); // releases the flock
    if (m_socket >= 0)
        close(m_socket);
    m_fd = -1;
    m_socket = -1;
}

long CNamedMutex::HolderUid(const char* pszName) {
    const int sock = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (sock < 0)
        return -1;
    sockaddr_un address{};
    const socklen_t length = PresenceAddress(pszName, address);
    long uid = -1;
    if (connect(sock, reinterpret_cast<sockaddr*>(&address), length) == 0) {
        ucred cred{};
        socklen_t size = sizeof cred;
        if (getsockopt(sock, SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0)
            uid = static_cast<long>(cred.uid);
    } else if (errno == EAGAIN) {
        // Its queue is full of earlier tests: someone listens, whoever it is.
        uid = static_cast<long>(geteuid());
    }
    close(sock);
    return uid;
}

bool CNamedMutex::IsHeld(const char* pszName) {
    const int fd = open(LockPath(pszName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        const bool bFree = flock(fd, LOCK_EX | LOCK_NB) == 0;
        close(fd);
        if (!bFree)
            return true;
    }
    return HolderUid(pszName) >= 0;
}
