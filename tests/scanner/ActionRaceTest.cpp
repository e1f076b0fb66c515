// A root scan over a folder that another local user can write: that user
// swaps the scanned files with symbolic links to root's files while the scan
// acts on findings, and points the job's folder elsewhere with a link.
#include "Scanner.h"
#include "SignatureDb.h"
#include "TestString.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uid_t kOther = 65534; // nobody
constexpr int kFiles = 24;

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class ActionRaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root: the scan must run as root and the attacker as nobody";
        char dir[] = "/tmp/vexraceXXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_base = dir;
        ::chmod(m_base.c_str(), 0755);
        m_outside = m_base + "/root-files";
        m_tree = m_base + "/tree";
        fs::create_directories(m_outside);
        fs::create_directories(m_tree);
        ASSERT_EQ(::chown(m_tree.c_str(), kOther, kOther), 0);
        for (int i = 0; i < kFiles; ++i) {
            const std::string target = Target(i);
            std::ofstream(target) << "root's file " << i;
            ::chmod(target.c_str(), i % 2 ? 04755 : 0644);
        }
        m_sigs = MakeTestSignatures(m_base + "/signatures");
        m_cmd.m_strJobName = "race";
        m_cmd.m_strDirectory = m_tree;
        m_cmd.m_nFileSelection = 0;
        m_cmd.m_nLogMode = kLogDetailed;
        m_cmd.m_bReferenceCheck = false;
    }
    void TearDown() override {
        if (!m_base.empty())
            fs::remove_all(m_base);
        if (!m_shmState.empty())
            fs::remove_all(m_shmState);
    }

    std::string Target(int i) const { return m_outside + "/t" + std::to_string(i); }
    std::string Victim(int i) const { return m_tree + "/v" + std::to_string(i); }
    std::string Link(int i) const { return m_tree + "/l" + std::to_string(i); }

    // Each round: fresh findings owned by the other user, each beside a link
    // of that user's to a root file.
    void Plant() {
        for (const auto& entry : fs::directory_iterator(m_tree))
            fs::remove_all(entry.path());
        for (int i = 0; i < kFiles; ++i) {
            std::ofstream(Victim(i)) << TestString() << "\r\n";
            ASSERT_EQ(::symlink(Target(i).c_str(), Link(i).c_str()), 0);
            ASSERT_EQ(::lchown(Victim(i).c_str(), kOther, kOther), 0);
            ASSERT_EQ(::lchown(Link(i).c_str(), kOther, kOther), 0);
        }
    }

    // The other user, exchanging each finding with its link as fast as it can.
    pid_t StartSwapping() {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(kOther) != 0 || ::setuid(kOther) != 0)
                _exit(1);
            for (;;)
                for (int i = 0; i < kFiles; ++i)
                    ::renameat2(AT_FDCWD, Victim(i).c_str(), AT_FDCWD, Link(i).c_str(),
                                RENAME_EXCHANGE);
        }
        return pid;
    }

    std::string RunScan(const std::string& state) {
        const CScanPaths paths = CScanPaths::ForJob(state, m_cmd.m_strJobName);
        CScanner scanner(m_cmd, paths, m_sigs);
        scanner.m_nThreads = 4;
        scanner.m_report = [](const std::string&) {};
        scanner.Run();
        return Read(paths.m_strLog);
    }

    // Root's files as they were made: none changed mode, owner or content.
    void ExpectRootFilesUntouched() const {
        for (int i = 0; i < kFiles; ++i) {
            struct stat st {};
            ASSERT_EQ(::stat(Target(i).c_str(), &st), 0) << Target(i);
            EXPECT_EQ(st.st_mode & 07777, i % 2 ? 04755u : 0644u) << Target(i);
            EXPECT_EQ(st.st_uid, 0u);
            EXPECT_EQ(Read(Target(i)), "root's file " + std::to_string(i));
        }
    }

    // Every line that says a finding was removed or moved is true: the files
    // with the test string still in the tree are exactly the rest.
    void ExpectTruthfulLog(const std::string& log) const {
        size_t claims = 0;
        for (size_t at = 0; (at = log.find("\n" + m_tree + "/", at)) != std::string::npos; ++at) {
            const std::string line = log.substr(at + 1, log.find('\n', at + 1) - at - 1);
            claims += line.find("plik usunięty") != std::string::npos ||
                      line.find("przeniesiony do") != std::string::npos;
        }
        size_t left = 0;
        for (const auto& entry : fs::directory_iterator(m_tree))
            left += fs::is_regular_file(fs::symlink_status(entry.path())) &&
                    Read(entry.path()).find(TestString()) != std::string::npos;
        EXPECT_EQ(claims + left, static_cast<size_t>(kFiles)) << log;
    }

    void Race(int action, const std::string& state, int rounds) {
        m_cmd.m_nInfectionAction = action;
        for (int round = 0; round < rounds && !HasFailure(); ++round) {
            ASSERT_NO_FATAL_FAILURE(Plant());
            const pid_t attacker = StartSwapping();
            ASSERT_GT(attacker, 0);
            const std::string log = RunScan(state);
            ::kill(attacker, SIGKILL);
            ::waitpid(attacker, nullptr, 0);
            ExpectRootFilesUntouched();
            ExpectTruthfulLog(log);
            fs::remove(CScanPaths::ForJob(state, m_cmd.m_strJobName).m_strLog);
        }
    }

    std::string m_base, m_outside, m_tree, m_sigs, m_shmState;
    CScanCommand m_cmd;
};

TEST_F(ActionRaceTest, SwappedNamesNeverTurnAnActionOntoAnotherFile) {
    Race(kInfectMove, m_base + "/state", 15);
    Race(kInfectDelete, m_base + "/state", 15);
    // A quarantine on another file system: the file is copied there.
    struct stat tmp {
    }, shm{};
    if (::stat("/dev/shm", &shm) == 0 && ::stat(m_base.c_str(), &tmp) == 0 &&
        shm.st_dev != tmp.st_dev) {
        m_shmState = "/dev/shm/vexrace-" + std::to_string(::getpid());
        Race(kInfectMove, m_shmState, 15);
    }
}

TEST_F(ActionRaceTest, AnotherUsersLinkAsTheJobFolderIsNotFollowed) {
    const std::string virus = m_outside + "/virus.com";
    std::ofstream(virus) << TestString() << "\r\n";
    const std::string link = m_tree + "/Pobrane";
    ASSERT_EQ(::symlink(m_outside.c_str(), link.c_str()), 0);
    ASSERT_EQ(::lchown(link.c_str(), kOther, kOther), 0);
    m_cmd.m_strDirectory = link;
    m_cmd.m_nInfectionAction = kInfectDelete;
    const std::string log = RunScan(m_base + "/state");
    EXPECT_TRUE(fs::exists(virus));
    EXPECT_NE(log.find("dowiązanie symboliczne " + link + " użytkownika 65534"), std::string::npos)
        << log;
    // Root's own link is followed.
    ASSERT_EQ(::lchown(link.c_str(), 0, 0), 0);
    RunScan(m_base + "/state");
    EXPECT_FALSE(fs::exists(virus));
}

} // namespace
