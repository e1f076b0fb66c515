// What a killed program leaves behind is cleared or accounted for: no
// temporary file in /dev/shm for an event that exists, no temporary reference
// list after the next scan, and no stamped start that nobody launched without
// a result that says so.
#include "FaultUtil.h"
#include "JobResult.h"
#include "ScanPaths.h"
#include "SignatureDb.h"
#include "TempStateRoot.h"

#include <csignal>
#include <sched.h>
#include <sys/inotify.h>

namespace {

class LeftoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        MakeJobKey();
    }
    std::map<std::string, std::string> Env() const {
        return {{"RAMPART_ROOT", m_root.Path()}, {"TMPDIR", m_root.Path()}};
    }

    CTempStateRoot m_root;
};

// A process id that no process has any more.
pid_t EndedProcess() {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

} // namespace

TEST_F(LeftoverTest, OpeningExistingEventsCreatesNoFileAKillCouldLeave) {
    if (geteuid() != 0)
        GTEST_SKIP() << "a /dev/shm of the test's own needs root rights; not run";
    // In a mount namespace of its own, so that no other program's files count.
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
            mount("tmpfs", "/dev/shm", "tmpfs", 0, "mode=1777") != 0)
            _exit(100);
        const std::vector<std::string> list{TEMPORA_PATH, "list"};
        // Events are removed with their last user: a window keeps them here.
        const CNamedEvent server(kServerEventName);
        const CNamedBroadcast clients(kClientEventName);
        if (!server.IsValid() || !clients.IsValid())
            _exit(101);
        if (CProgram(list, Env(), m_root.Path()).Wait().code != 0)
            _exit(101);
        const int watch = inotify_init1(IN_NONBLOCK);
        inotify_add_watch(watch, "/dev/shm", IN_CREATE);
        if (CProgram(list, Env(), m_root.Path()).Wait().code != 0)
            _exit(101);
        char events[4096];
        const ssize_t n = read(watch, events, sizeof events);
        _exit(n > 0 ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: files were created in /dev/shm; 100, 101: set-up";
}

TEST_F(LeftoverTest, TheNextScanRemovesTheListsThatKilledScansLeft) {
    const std::string tree = m_root.Path() + "/tree", refs = m_root.Path() + "/scanner/references";
    std::filesystem::create_directories(tree);
    std::filesystem::create_directories(refs);
    std::ofstream(tree + "/plik") << "echo\n";
    const std::string list = CScanPaths::ForJob(m_root.Path(), "Dom").m_strReference;
    const std::string base = list.substr(list.rfind('/') + 1);
    const std::string dead =
        refs + "/." + base + ".1700000000000000-" + std::to_string(EndedProcess()) + "-0.tmp";
    const std::string live =
        refs + "/." + base + ".1700000000000000-" + std::to_string(getpid()) + "-0.tmp";
    std::ofstream(dead) << "half a list";
    std::ofstream(live) << "being written";

    const std::string command = m_root.Path() + "/vexcmd";
    std::ofstream(command, std::ios::binary) << "21010011\r\nDom\r\n" << tree << "\r\n";
    auto env = Env();
    env["VEX_SIGNATURES"] = MakeTestSignatures(m_root.Path() + "/signatures");
    const CRunResult scan = CProgram({VEXSCAN_PATH, "-c", command}, env, m_root.Path()).Wait();
    EXPECT_EQ(scan.code, 0) << scan.err;
    EXPECT_TRUE(std::filesystem::exists(list));
    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_TRUE(std::filesystem::exists(live)) << "a writer that still runs keeps its file";
}

TEST_F(LeftoverTest, AStartAServerStampedAndNeverLaunchedIsRecordedAsNotStarted) {
    CRegInterface store;
    ASSERT_TRUE(store.Open(kJobKeyPath));
    // Due now, then waiting half an hour for idle time: killed meanwhile.
    ASSERT_TRUE(store.AddJob(*DueJob("Bezczynna", "/srv", 30)));
    const std::vector<BYTE> before = StoredBytes("Bezczynna");
    {
        CProgram server({VEXSERV_PATH}, Env(), m_root.Path());
        ASSERT_TRUE(WaitUntil([&] { return StoredBytes("Bezczynna") != before; }));
        kill(server.Pid(), SIGKILL);
        server.Wait();
    }
    CJobResult result;
    ASSERT_FALSE(ReadJobResult("Bezczynna", result));

    CProgram server({VEXSERV_PATH}, Env(), m_root.Path());
    EXPECT_TRUE(WaitUntil([&] { return ReadJobResult("Bezczynna", result); })) << server.Err();
    EXPECT_TRUE(result.m_bNotStarted);
    EXPECT_EQ(result.GetText(), "nie uruchomiono");
    kill(server.Pid(), SIGTERM);
    const CRunResult ended = server.Wait();
    EXPECT_EQ(ended.code, 0);
    EXPECT_NE(ended.err.find("zakończył się przed uruchomieniem analizy"), std::string::npos)
        << ended.err;
}
