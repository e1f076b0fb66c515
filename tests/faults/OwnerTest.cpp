// Another local user: a state root, a database, a command file or an event
// that someone else owns or may change is refused with a message that says
// what to do, before anything of it is used.
#include "FaultUtil.h"
#include "NamedEvent.h"
#include "ScanParameterLaunch.h"
#include "TempStateRoot.h"

#include <semaphore.h>
#include <sys/stat.h>

namespace {

constexpr uid_t kNobody = 65534;

class OwnerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.IsValid()); }
    void TearDown() override { ::chmod(m_root.Path().c_str(), 0700); }
    CRunResult Run(const std::vector<std::string>& argv) {
        // Output and command files live beside the root, not in it.
        return CProgram(argv, {{"RAMPART_ROOT", m_root.Path()}, {"LC_ALL", "C.UTF-8"}}, m_aside)
            .Wait(5000);
    }
    std::string WriteCommandFile(mode_t mode) {
        CScanParameter params;
        params.m_strDirectory = m_aside;
        params.m_nLogMode = 0;
        params.m_nReferenceCheck = 0;
        const std::string path = m_aside + "/command";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            << BuildCommandFileText(params, "Cudza");
        ::chmod(path.c_str(), mode);
        return path;
    }

    CTempStateRoot m_root;
    std::string m_aside = [] {
        char dir[] = "/tmp/vex-aside-XXXXXX";
        return std::string(mkdtemp(dir) ? dir : "/tmp");
    }();

public:
    ~OwnerTest() override {
        std::error_code ec;
        std::filesystem::remove_all(m_aside, ec);
    }
};

} // namespace

TEST_F(OwnerTest, StateRootOpenToOthersIsRefused) {
    MakeJobKey();
    ASSERT_EQ(::chmod(m_root.Path().c_str(), 0777), 0);
    const CRunResult server = Run({VEXSERV_PATH});
    EXPECT_EQ(server.code, 2);
    EXPECT_NE(server.err.find("chmod go-w '" + m_root.Path() + "'"), std::string::npos)
        << server.err;
    EXPECT_EQ(Run({VEXSERV_PATH, "--install"}).code, 2);
    const CRunResult list = Run({TEMPORA_PATH, "list"});
    EXPECT_EQ(list.code, 1);
    EXPECT_NE(list.err.find("chmod go-w"), std::string::npos) << list.err;
}

TEST_F(OwnerTest, DatabaseOfAnotherUserIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a database to another user";
    MakeJobKey();
    const std::string db = RegHivePath(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(::chown(db.c_str(), kNobody, kNobody), 0);
    const CRunResult server = Run({VEXSERV_PATH});
    EXPECT_EQ(server.code, 2);
    EXPECT_NE(server.err.find("użytkownika (65534)"), std::string::npos) << server.err;
    const CRunResult list = Run({TEMPORA_PATH, "list"});
    EXPECT_EQ(list.code, 1);
    EXPECT_NE(list.err.find("65534"), std::string::npos) << list.err;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_ACCESS_DENIED);
}

TEST_F(OwnerTest, CommandFileOthersMayChangeIsRefused) {
    const std::string command = WriteCommandFile(0646);
    const CRunResult r = Run({VEXSCAN_PATH, "-c", command});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("mogą zmieniać inni użytkownicy"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(command));
}

TEST_F(OwnerTest, CommandFileOfAnotherUserIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a command file to another user";
    const std::string command = WriteCommandFile(0600);
    ASSERT_EQ(::chown(command.c_str(), kNobody, kNobody), 0);
    const CRunResult r = Run({VEXSCAN_PATH, "-c", command});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("należy do innego użytkownika"), std::string::npos) << r.err;
}

TEST_F(OwnerTest, EventOpenToOthersIsRefused) {
    MakeJobKey();
    const mode_t mask = ::umask(0);
    sem_t* sem =
        sem_open(CNamedEvent::SemaphoreName(kServerEventName).c_str(), O_CREAT | O_EXCL, 0666, 0);
    ::umask(mask);
    ASSERT_NE(sem, SEM_FAILED);
    sem_close(sem);
    const CRunResult server = Run({VEXSERV_PATH});
    EXPECT_EQ(server.code, 2);
    EXPECT_NE(server.err.find("dostępn"), std::string::npos) << server.err;
    const CRunResult list = Run({TEMPORA_PATH, "list"});
    EXPECT_EQ(list.code, 1);
    EXPECT_NE(list.err.find("dostępn"), std::string::npos) << list.err;
}

TEST_F(OwnerTest, EventOfAnotherUserIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can act as a second user";
    MakeJobKey();
    // The other user makes our server's event first, under a name it has
    // learnt.
    const std::string name = CNamedEvent::SemaphoreName(kServerEventName);
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(100);
        sem_t* sem = sem_open(name.c_str(), O_CREAT | O_EXCL, 0600, 0);
        _exit(sem == SEM_FAILED ? 101 : 0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const CRunResult server = Run({VEXSERV_PATH});
    EXPECT_EQ(server.code, 2);
    EXPECT_NE(server.err.find("należy do użytkownika 65534"), std::string::npos) << server.err;
}

TEST_F(OwnerTest, NameSecretOpenToOthersOrOfAnotherUserIsRefused) {
    MakeJobKey();
    ASSERT_FALSE(CNamedEvent::SemaphoreName(kServerEventName).empty());
    const std::string secret = m_root.Path() + "/names.key";
    ASSERT_EQ(::chmod(secret.c_str(), 0640), 0);
    const CRunResult server = Run({VEXSERV_PATH});
    EXPECT_EQ(server.code, 2);
    EXPECT_NE(server.err.find("dostępn"), std::string::npos) << server.err;
    EXPECT_EQ(Run({TEMPORA_PATH, "list"}).code, 1);
    ::chmod(secret.c_str(), 0600);
    if (geteuid() == 0) {
        ASSERT_EQ(::chown(secret.c_str(), kNobody, kNobody), 0);
        const CRunResult taken = Run({VEXSERV_PATH});
        EXPECT_EQ(taken.code, 2);
        EXPECT_NE(taken.err.find("należy do użytkownika 65534"), std::string::npos) << taken.err;
        EXPECT_EQ(::chown(secret.c_str(), 0, 0), 0);
    }
}
