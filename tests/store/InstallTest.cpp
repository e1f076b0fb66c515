// vexserv as a program: the installation step and the single running copy.

#include "Job.h"
#include "NamedEvent.h"
#include "NamedMutex.h"
#include "ScanRegInterface.h"
#include "Settings.h"

#include "TempStateRoot.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char* const kTemporaKey = "Software\\Kestrow\\Rampart 8\\Tempora";

// Starts vexserv with its stderr in errFile.
pid_t StartServer(std::vector<std::string> args, const std::string& errFile) {
    args.insert(args.begin(), VEXSERV);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, VEXSERV, &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Finish(pid_t pid, int nMs = 5000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(nMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunServer(std::vector<std::string> args, const std::string& errFile) {
    const pid_t pid = StartServer(std::move(args), errFile);
    return pid > 0 ? Finish(pid) : -1;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitUntilLocked(int nMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(nMs);
    while (!CNamedMutex::IsHeld(kServerMutexName)) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace

TEST(VexServInstall, CreatesJobKeyAndMachineValuesOnceAndKeepsExistingOnes) {
    CTempStateRoot root;
    const std::string err = root.Path() + "/err.txt";
    CScanRegInterface store;
    ASSERT_FALSE(store.Open(kJobKeyPath));

    ASSERT_EQ(RunServer({"--install"}, err), 0) << Contents(err);
    const std::string scanner = RegGetString(HKEY_LOCAL_MACHINE, kTemporaKey, "vexexe", "");
    const std::string help = RegGetString(HKEY_LOCAL_MACHINE, kTemporaKey, "HelpFile", "");
    EXPECT_EQ(scanner.front(), '/');
    EXPECT_EQ(scanner.substr(scanner.size() - 8), "/vexscan");
    EXPECT_EQ(scanner.find("/../"), std::string::npos);
    EXPECT_EQ(help.front(), '/');
    EXPECT_EQ(help.substr(help.size() - 11), "/index.html");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kTemporaKey, "Signatures", ""), "/var/lib/clamav");

    // Run again, after someone chose another scanner that works and other
    // signatures: nothing changes.
    const std::string chosen = root.Path() + "/my-vexscan";
    std::ofstream(chosen) << "#!/bin/sh\n";
    ASSERT_EQ(chmod(chosen.c_str(), 0700), 0);
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kTemporaKey, "vexexe", chosen.c_str()));
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kTemporaKey, "Signatures", "/srv/signatures"));
    ASSERT_EQ(RunServer({"--install"}, err), 0) << Contents(err);
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kTemporaKey, "vexexe", ""), chosen);
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kTemporaKey, "Signatures", ""), "/srv/signatures");
    EXPECT_EQ(Contents(err), "");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kTemporaKey, "HelpFile", ""), help);
    EXPECT_TRUE(store.Open(kJobKeyPath));
    DWORD index = 0;
    CJob job;
    EXPECT_FALSE(store.EnumJob(&index, &job));

    EXPECT_EQ(RunServer({"--bogus"}, err), 2);
}

TEST(VexServInstall, RepairsARecordedScannerThatCannotRunAndSaysSo) {
    CTempStateRoot root;
    const std::string err = root.Path() + "/err.txt";
    ASSERT_EQ(RunServer({"--install"}, err), 0) << Contents(err);
    const std::string own = RegGetString(HKEY_LOCAL_MACHINE, kTemporaKey, "vexexe", "");

    // A scanner that is gone, and one that is there but cannot be run.
    const std::string notExecutable = root.Path() + "/vexscan-copy";
    std::ofstream(notExecutable) << "#!/bin/sh\n";
    for (const std::string& stale : {std::string("/opt/vex/vexscan"), notExecutable}) {
        ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kTemporaKey, "vexexe", stale.c_str()));
        ASSERT_EQ(RunServer({"--install"}, err), 0) << Contents(err);
        EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kTemporaKey, "vexexe", ""), own);
        const std::string said = Contents(err);
        EXPECT_NE(said.find(stale), std::string::npos) << said;
        EXPECT_NE(said.find(own), std::string::npos) << said;
    }
    // Repaired once, the next run has nothing to say.
    ASSERT_EQ(RunServer({"--install"}, err), 0);
    EXPECT_EQ(Contents(err), "");
}

TEST(VexServInstall, UnwritableStateRootFailsWithAMessage) {
    CTempStateRoot root;
    const std::string err = root.Path() + "/err.txt";
    const std::string file = root.Path() + "/file";
    std::ofstream(file) << "x";
    setenv("RAMPART_ROOT", (file + "/root").c_str(), 1);
    EXPECT_EQ(RunServer({"--install"}, err), 2);
    EXPECT_NE(Contents(err).find("vexserv:"), std::string::npos);
    setenv("RAMPART_ROOT", root.Path().c_str(), 1);
}

TEST(VexServ, OneCopyRunsUntilAskedToStopAndASecondRefusesToStart) {
    CTempStateRoot root;
    const std::string err1 = root.Path() + "/err1.txt", err2 = root.Path() + "/err2.txt";
    ASSERT_EQ(RunServer({"--install"}, err1), 0);
    const pid_t first = StartServer({}, err1);
    ASSERT_GT(first, 0);
    ASSERT_TRUE(WaitUntilLocked(5000));

    EXPECT_EQ(RunServer({}, err2), 1);
    EXPECT_NE(Contents(err2).find("już działa"), std::string::npos);

    // A change signal wakes it without ending it.
    CNamedEvent server(kServerEventName);
    ASSERT_TRUE(server.Set());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0);

    const auto start = Clock::now();
    kill(first, SIGTERM);
    EXPECT_EQ(Finish(first, 5000), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(CNamedMutex::IsHeld(kServerMutexName));

    const pid_t again = StartServer({}, err2);
    ASSERT_TRUE(WaitUntilLocked(5000));
    kill(again, SIGINT);
    EXPECT_EQ(Finish(again), 0);
}
