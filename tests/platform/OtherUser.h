#pragma once

// Runs a check in a child process that cannot write the test's files: as the
// user "nobody" when the tests run as root (root ignores file modes),
// otherwise as the same user. The check's result is the child's exit code.
// Also a second local user who takes names in the shared name spaces first.

#include "StatePaths.h"

#include <QCryptographicHash>
#include <QDir>

#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <initializer_list>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// The user id the child runs as.
inline uid_t ChildUid() {
    return geteuid() == 0 ? 65534 : geteuid();
}

// Gives the paths to the child's user, so that the state root and its
// databases belong to whoever uses them (others' are refused).
inline bool HandToChild(std::initializer_list<std::string> paths) {
    for (const std::string& path : paths)
        if (geteuid() == 0 && chown(path.c_str(), ChildUid(), ChildUid()) != 0)
            return false;
    return true;
}

inline int RunInChildWithoutRoot(const std::function<int()>& check) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(100);
        _exit(check());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// "/vex.<uid>.<hash>.": what anyone can work out from the state root's path
// alone, and the stem the names of the events and the server's presence had
// while they were made that way.
inline std::string GuessableNameStem() {
    const QString root = QString::fromStdString(StateRoot());
    const QByteArray path = QDir::cleanPath(QDir::current().absoluteFilePath(root)).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex();
    return "/vex." + std::to_string(getuid()) + "." + hash.left(16).toStdString() + ".";
}

// The user "nobody", as a child process, listens on abstract socket names and
// creates files in /dev/shm (where named semaphores and shared memory live,
// mode 0600) before the test's programs do, and keeps them until this object
// ends; then it removes the files. Only root can act as that user.
class COtherUserNames {
public:
    COtherUserNames(const std::vector<std::string>& sockets,
                    const std::vector<std::string>& files) {
        int ready[2], done[2];
        if (pipe(ready) != 0 || pipe(done) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            close(done[1]);
            const bool bTaken = setgid(65534) == 0 && setuid(65534) == 0 && Take(sockets, files);
            char c;
            if (write(ready[1], bTaken ? "y" : "n", 1) == 1)
                while (read(done[0], &c, 1) > 0) {
                }
            for (const std::string& file : files)
                unlink(file.c_str());
            _exit(0);
        }
        close(ready[1]);
        close(done[0]);
        m_done = done[1];
        char c = 0;
        m_bReady = m_pid > 0 && read(ready[0], &c, 1) == 1 && c == 'y';
        close(ready[0]);
    }
    ~COtherUserNames() {
        close(m_done);
        if (m_pid > 0)
            waitpid(m_pid, nullptr, 0);
    }
    COtherUserNames(const COtherUserNames&) = delete;
    COtherUserNames& operator=(const COtherUserNames&) = delete;

    bool IsReady() const { return m_bReady; }

private:
    static bool Take(const std::vector<std::string>& sockets,
                     const std::vector<std::string>& files) {
        for (const std::string& name : sockets) {
            sockaddr_un address{AF_UNIX, {}};
            std::memcpy(address.sun_path + 1, name.data(), name.size());
            const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
            if (bind(sock, reinterpret_cast<sockaddr*>(&address),
                     offsetof(sockaddr_un, sun_path) + 1 + name.size()) != 0 ||
                listen(sock, 4) != 0)
                return false;
        }
        for (const std::string& file : files)
            if (open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600) < 0)
                return false;
        return true;
    }

    pid_t m_pid = -1;
    int m_done = -1;
    bool m_bReady = false;
};
