#pragma once

// Runs a check in a child process that cannot write the test's files: as the
// user "nobody" when the tests run as root (root ignores file modes),
// otherwise as the same user. The check's result is the child's exit code.
// Also what a second local user can work out about the shared names.

#include "StatePaths.h"

#include <QCryptographicHash>
#include <QDir>

#include <functional>
#include <initializer_list>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

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
