#include "Process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// The descriptor number at which a started program finds m_nPassFd.
constexpr int kPassedFd = STDERR_FILENO + 1;

// Our environment with the additions applied, as "NAME=value" texts.
std::vector<std::string> BuildEnvironment(const CProcessStart& start) {
    std::vector<std::string> env;
    for (char** p = environ; p && *p; ++p) {
        std::string entry = *p;
        std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& add : start.m_env)
            replaced = replaced || add.first == name;
        if (!replaced)
            env.push_back(std::move(entry));
    }
    for (const auto& [name, value] : start.m_env)
        env.push_back(name + "=" + value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> ptrs;
    for (std::string& t : texts)
        ptrs.push_back(t.data());
    ptrs.push_back(nullptr);
    return ptrs;
}

// Collects the child's exit status so it does not linger as a zombie.
void ReapInBackground(pid_t pid) {
    try {
        std::thread([pid] { WaitForProcess(pid); }).detach();
    } catch (...) {
        // No thread to spare: the child is reaped when we end.
    }
}

} // namespace

int WaitForProcess(pid_t pid) {
    int status = 0;
    for (;;) {
        if (::waitpid(pid, &status, 0) == pid)
            return status;
        if (errno != EINTR)
            return 0;
    }
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool StartProcess(const CProcessStart& start, pid_t* pPid) {
    if (start.m_strProgram.empty())
        return false;
    std::vector<std::string> argv{start.m_strProgram};
    argv.insert(argv.end(), start.m_args.begin(), start.m_args.end());
    std::vector<std::string> env = BuildEnvironment(start);
    std::vector<char*> argvPtrs = Pointers(argv);
    std::vector<char*> envPtrs = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!start.m_strWorkingDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, start.m_strWorkingDir.c_str());
    // dup2 onto itself would keep close-on-exec: move a descriptor 3 first.
    int passFd = start.m_nPassFd;
    int movedFd = -1;
    if (passFd == kPassedFd)
        passFd = movedFd = ::fcntl(passFd, F_DUPFD_CLOEXEC, kPassedFd + 1);
    if (passFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, passFd, kPassedFd);
    posix_spawn_file_actions_addclosefrom_np(&actions, passFd >= 0 ? kPassedFd + 1 : kPassedFd);

    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, start.m_strProgram.c_str(), &actions, &attr, argvPtrs.data(),
                           envPtrs.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (movedFd >= 0)
        ::close(movedFd);
    if (rc != 0)
        return false;
    if (pPid)
        *pPid = pid;
    else
        ReapInBackground(pid);
    return true;
}
