#pragma once

// What the fault tests share: running the built programs with their output
// caught, a small file system that can be filled, jobs in the store, and
// waiting for a condition with a bound.

#include "Daily.h"
#include "Job.h"
#include "RegInterface.h"
#include "Registry.h"
#include "ScanParameterLaunch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

struct CRunResult {
    int code = -1;
    std::string out;
    std::string err;
};

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// A program started with extra environment values, its output going to
// files in dir; Wait collects them.
class CProgram {
public:
    CProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
             const std::string& dir) {
        static int counter = 0;
        const std::string stem =
            dir + "/run" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        m_out = stem + ".out";
        m_err = stem + ".err";
        std::vector<std::string> envText;
        for (char** p = environ; *p; ++p) {
            const std::string entry = *p;
            if (!env.count(entry.substr(0, entry.find('='))))
                envText.push_back(entry);
        }
        for (const auto& [key, value] : env)
            envText.push_back(key + "=" + value);
        std::vector<char*> args, envp;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (const std::string& e : envText)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CProgram() {
        if (m_pid > 0 && !m_bDone) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    pid_t Pid() const { return m_pid; }
    std::string Err() const { return ReadWhole(m_err); }
    bool HasEnded(CRunResult& result) {
        if (m_pid <= 0)
            return true;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) != m_pid)
            return false;
        Collect(status, result);
        return true;
    }
    CRunResult Wait(int timeoutMs = 20000) {
        CRunResult result;
        if (m_pid <= 0)
            return result;
        if (!WaitUntil([&] { return HasEnded(result); }, timeoutMs)) {
            kill(m_pid, SIGKILL);
            int status = 0;
            waitpid(m_pid, &status, 0);
            Collect(status, result);
            result.code = -1;
        }
        return result;
    }

private:
    void Collect(int status, CRunResult& result) {
        m_bDone = true;
        result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = ReadWhole(m_out);
        result.err = ReadWhole(m_err);
    }

    pid_t m_pid = -1;
    bool m_bDone = false;
    std::string m_out, m_err;
};

inline CRunResult RunProgram(const std::vector<std::string>& argv, const std::string& root,
                             const std::string& dir) {
    return CProgram(argv, {{"RAMPART_ROOT", root}, {"TMPDIR", dir}, {"LC_ALL", "C.UTF-8"}}, dir)
        .Wait();
}

// A tmpfs of a few kilobytes at a fresh folder; only root may mount one.
class CSmallFileSystem {
public:
    explicit CSmallFileSystem(const std::string& dir, const char* pszSize = "256k") : m_dir(dir) {
        std::filesystem::create_directories(dir);
        const std::string options = std::string("size=") + pszSize + ",mode=0700";
        m_bMounted =
            geteuid() == 0 && mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~CSmallFileSystem() {
        if (m_bMounted)
            umount2(m_dir.c_str(), MNT_DETACH);
    }
    bool IsMounted() const { return m_bMounted; }
    // Takes every free byte with one file.
    void Fill() {
        const int fd = open((m_dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::vector<char> block(4096, 'x');
        while (fd >= 0 && write(fd, block.data(), block.size()) > 0) {
        }
        for (char c = 'x'; fd >= 0 && write(fd, &c, 1) > 0;) {
        }
        if (fd >= 0)
            close(fd);
    }

private:
    std::string m_dir;
    bool m_bMounted = false;
};

#define SKIP_UNLESS_MOUNTED(fs)                                                                    \
    if (!(fs).IsMounted())                                                                         \
    GTEST_SKIP() << "a small tmpfs needs root rights to mount; the full-disk case is not run"

// A job scanning dir, due now: daily at this minute, counted from yesterday.
inline std::unique_ptr<CJob> DueJob(const std::string& name, const std::string& dir,
                                    int nIdleMinutes = 0) {
    const COleDateTime now = COleDateTime::GetCurrentTime();
    int hour = now.GetHour(), minute = now.GetMinute();
    CDaily daily;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (nIdleMinutes > 0)
        daily.SetIdle(true, nIdleMinutes);
    auto job = std::make_unique<CJob>();
    job->SetName(name.c_str());
    job->SetPeriod(daily, now - COleDateTimeSpan(1, 0, 0, 0));
    job->GetScanParameter().m_strDirectory = dir;
    return job;
}

// A command file in dir for a scan of tree by job, as the server writes it,
// with a detailed log and no reference check; its path.
inline std::string WriteScanCommand(const std::string& dir, const std::string& tree,
                                    const std::string& job, int action) {
    CScanParameter params;
    params.m_strDirectory = tree;
    params.m_nLogMode = 2;
    params.m_nReferenceCheck = 0;
    params.m_nEndMode = 2;
    params.m_nFileSelection = 0;
    params.m_nInfectionAction = action;
    const std::string command = dir + "/command";
    std::ofstream(command, std::ios::binary) << BuildCommandFileText(params, job.c_str());
    ::chmod(command.c_str(), 0600);
    return command;
}

// The job key, as `vexserv --install` makes it.
inline void MakeJobKey() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

inline std::vector<BYTE> StoredBytes(const std::string& name) {
    CRegInterface store;
    CJob job;
    if (!store.Open(kJobKeyPath) || !store.ReadJob(name.c_str(), &job))
        return {};
    return job.Store();
}
