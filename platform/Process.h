#pragma once

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// How to start a program: no shell is involved, so the arguments reach it
// exactly as given.
struct CProcessStart {
    std::string m_strProgram;                               // path of the program file
    std::vector<std::string> m_args;                        // arguments after the program name
    std::string m_strWorkingDir;                            // empty: the caller's
    std::vector<std::pair<std::string, std::string>> m_env; // added to (or replacing in) ours
    int m_nPassFd = -1; // handed to the program as descriptor 3; -1: none
};

// Starts the program as a detached process in a session of its own: standard
// input from /dev/null, standard output and error shared with the caller, no
// other descriptor inherited but m_nPassFd (so no lock of the caller's is held
// by the child unless it is handed on on purpose), all signals at their defaults and none blocked.
// True when the program is running. The caller does not wait for it: it is reaped in the background
// unless pPid is given, in which case the caller must reap it.
bool StartProcess(const CProcessStart& start, pid_t* pPid = nullptr);

// Waits until the child pid has ended and collects it, through
// interruptions; its wait status (0 when it could not be collected).
int WaitForProcess(pid_t pid);

// True when path names a regular file that we may execute.
bool IsExecutableFile(const std::string& path);
