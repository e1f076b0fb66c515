#pragma once

// Runs a check in a child process that cannot write the test's files: as the
// user "nobody" when the tests run as root (root ignores file modes),
// otherwise as the same user. The check's result is the child's exit code.

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
