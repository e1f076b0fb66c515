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
socklen_t PresenceAddress(const std::string& strName, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const size_t n = std::min(strName.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, strName.data(), n);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

int PresenceSocket() {
    return socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// Listening lets the presence test connect and learn who holds the name. The
// socket, or -1 with errno set.
int Listen(const std::string& strName) {
    const int sock = PresenceSocket();
    sockaddr_un address{};
    const socklen_t length = PresenceAddress(strName, address);
    // Room for the presence tests that come between two passes of the owner.
    if (sock >= 0 && bind(sock, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        listen(sock, SOMAXCONN) == 0)
        return sock;
    const int error = errno;
    if (sock >= 0)
        close(sock);
    errno = error;
    return -1;
}

// The user id of whoever listens on the name; -1 when nobody does, or when
// who it is cannot be learnt (a full queue): a name anyone could have bound
// is then nobody's.
long PeerUid(const std::string& strName) {
    const int sock = PresenceSocket();
    if (sock < 0)
        return -1;
    sockaddr_un address{};
    const socklen_t length = PresenceAddress(strName, address);
    ucred cred{};
    socklen_t size = sizeof cred;
    const bool bKnown = connect(sock, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                        getsockopt(sock, SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0;
    close(sock);
    return bKnown ? static_cast<long>(cred.uid) : -1;
}

// The name from the root's secret; empty while there is no usable secret.
std::string SecretName(const std::string& strName, bool bCreate, std::string* pstrError) {
    const std::string stem = SecretNameStem(bCreate, pstrError);
    return stem.empty() ? stem : stem + strName + ".lock";
}

// The name from the root's path, as a root made anew has it too.
std::string PublicName(const std::string& strName) {
    return PublicNameStem() + strName + ".lock";
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
    m_bBusy = false;
    m_nOtherUid = -1;
    m_strError.clear();
    if (!EnsureStateRoot())
        return false;
    const std::string secretName = SecretName(m_strName, true, &m_strError);
    if (secretName.empty() || !BindName(secretName, m_socket) ||
        !BindName(PublicName(m_strName), m_publicSocket) || !LockFile()) {
        CloseSockets();
        return false;
    }
    return true;
}

// A name that an owner of the caller's holds makes the lock busy; one that
// another user holds, or an unknown holder, is passed over.
bool CNamedMutex::BindName(const std::string& strName, int& socketFd) {
    socketFd = Listen(strName);
    if (socketFd >= 0)
        return true;
    if (errno != EADDRINUSE) {
        m_strError =
            std::string("nie można nasłuchiwać na nazwie blokady: ") + std::strerror(errno);
        return false;
    }
    const long uid = PeerUid(strName);
    m_bBusy = uid == static_cast<long>(geteuid());
    if (uid >= 0 && !m_bBusy)
        m_nOtherUid = uid;
    return !m_bBusy;
}

bool CNamedMutex::LockFile() {
    const int fd = open(LockPath(m_strName.c_str()).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_bBusy = errno == EWOULDBLOCK;
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
    for (const int sock : {m_socket, m_publicSocket})
        for (int client;
             sock >= 0 && (client = accept4(sock, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
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
    m_fd = -1;
    CloseSockets();
}

void CNamedMutex::CloseSockets() {
    for (int* pSocket : {&m_socket, &m_publicSocket}) {
        if (*pSocket >= 0)
            close(*pSocket);
        *pSocket = -1;
    }
}

CNamedMutex::CPresence CNamedMutex::Presence(const char* pszName) {
    const std::string name = pszName ? pszName : "";
    CPresence presence;
    const int fd = open(LockPath(pszName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        presence.bHeld = flock(fd, LOCK_EX | LOCK_NB) != 0;
        close(fd);
    }
    for (const std::string& strName : {SecretName(name, false, nullptr), PublicName(name)}) {
        const long uid = strName.empty() ? -1 : PeerUid(strName);
        if (uid == static_cast<long>(geteuid()))
            presence.bHeld = true;
        else if (uid >= 0)
            presence.nOtherUid = uid;
    }
    return presence;
}
