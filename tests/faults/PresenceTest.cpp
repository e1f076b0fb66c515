// One server per state root, even when its lock file is deleted or the whole
// root is made anew under it; and no other user can keep it from running or
// pass for it.
#include "FaultUtil.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "NamedMutex.h"
#include "OtherUser.h"
#include "Scheduler.h"
#include "Settings.h"
#include "TempStateRoot.h"

#include <csignal>
#include <semaphore.h>
#include <sys/mman.h>

namespace {

class PresenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        MakeJobKey();
    }
    std::unique_ptr<CProgram> Server() {
        return std::make_unique<CProgram>(
            std::vector<std::string>{VEXSERV_PATH},
            std::map<std::string, std::string>{{"RAMPART_ROOT", m_root.Path()}}, m_aside.Path());
    }
    void ExpectSecondRefused() {
        const CRunResult second = Server()->Wait(5000);
        EXPECT_EQ(second.code, 1);
        EXPECT_NE(second.err.find("już działa"), std::string::npos) << second.err;
    }
    CRunResult Status() {
        return RunProgram({TEMPORA_PATH, "status"}, m_root.Path(), m_aside.Path());
    }
    void Stop(CProgram& server) {
        kill(server.Pid(), SIGTERM);
        EXPECT_EQ(server.Wait().code, 0);
    }

    CTempStateRoot m_root;
    struct CAside {
        CAside() {
            char dir[] = "/tmp/vex-aside-XXXXXX";
            m_path = mkdtemp(dir) ? dir : "/tmp";
        }
        ~CAside() {
            std::error_code ec;
            std::filesystem::remove_all(m_path, ec);
        }
        const std::string& Path() const { return m_path; }
        std::string m_path;
    } m_aside;
};

} // namespace

TEST_F(PresenceTest, DeletedLockFileLetsNoSecondServerInAndComesBack) {
    auto first = Server();
    ASSERT_TRUE(WaitUntil([] { return CNamedMutex::IsHeld(kServerMutexName); }));
    const std::string lock = CNamedMutex::LockPath(kServerMutexName);
    ASSERT_TRUE(std::filesystem::remove(lock));
    ExpectSecondRefused();
    // The first server makes its lock anew at its next pass.
    ASSERT_EQ(kill(first->Pid(), SIGHUP), 0);
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(lock); }));
    EXPECT_TRUE(CNamedMutex::IsHeld(kServerMutexName));
    Stop(*first);
}

TEST_F(PresenceTest, RootMadeAnewLetsNoSecondServerIn) {
    auto first = Server();
    // Its first pass has recorded the boot; the next one is a minute away.
    ASSERT_TRUE(WaitUntil([] {
        return !RegGetString(HKEY_LOCAL_MACHINE, kServerKeyPath, kLastBootValue, "").empty();
    }));
    // The first server's events are named from the old root's secret.
    const std::string event = CNamedEvent::SemaphoreName(kServerEventName);
    const std::string counter = CNamedBroadcast::SharedName(kClientEventName);
    std::filesystem::remove_all(m_root.Path());
    ASSERT_TRUE(std::filesystem::create_directory(m_root.Path()));
    ::chmod(m_root.Path().c_str(), 0700);
    MakeJobKey();
    ExpectSecondRefused();
    Stop(*first);
    sem_unlink(event.c_str());
    shm_unlink(counter.c_str());
}

TEST_F(PresenceTest, NamesAnotherUserTookFirstStopNothingAndTheStatusSaysWhoHasThem) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can act as a second user";
    const std::string stem = GuessableNameStem();
    const COtherUserNames other({stem + kServerMutexName + ".lock"},
                                {"/dev/shm/sem." + stem.substr(1) + kServerEventName,
                                 "/dev/shm" + stem + kClientEventName + ".all"});
    ASSERT_TRUE(other.IsReady());
    auto server = Server();
    ASSERT_TRUE(WaitUntil([] {
        return !RegGetString(HKEY_LOCAL_MACHINE, kServerKeyPath, kLastBootValue, "").empty();
    })) << server->Err();
    EXPECT_EQ(RunProgram({TEMPORA_PATH, "list"}, m_root.Path(), m_aside.Path()).code, 0);
    const CRunResult running = Status();
    EXPECT_EQ(running.code, 0);
    EXPECT_NE(running.out.find("Serwer vexserv: działa"), std::string::npos) << running.out;
    Stop(*server);
    const CRunResult stopped = Status();
    EXPECT_EQ(stopped.code, 3);
    EXPECT_NE(stopped.out.find("Serwer vexserv: nie działa"), std::string::npos) << stopped.out;
    EXPECT_NE(stopped.out.find("użytkownik 65534"), std::string::npos) << stopped.out;
}
