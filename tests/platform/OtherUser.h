#pragma once

// Runs a check in a child process that cannot write the test's files: as the
// user "nobody" when the tests run as root (root ignores file modes),
// otherwise as the same user. The check's result is the child's exit code.

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

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
