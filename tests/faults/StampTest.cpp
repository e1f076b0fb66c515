// A start is stamped only on the job as it was read: a deletion, a switch-off
// or an edit that comes in between wins, and a run cancelled before its scan
// began is not counted.
#include "FaultUtil.h"
#include "TempStateRoot.h"

#include <csignal>

namespace {

class StampTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        MakeJobKey();
        ASSERT_TRUE(m_store.Open(kJobKeyPath));
        ASSERT_TRUE(m_store.AddJob(*DueJob("Nocna", "/srv")));
        ASSERT_TRUE(m_store.ReadJob("Nocna", &m_read));
    }
    CRunResult Tempora(const std::vector<std::string>& args) {
        std::vector<std::string> argv{TEMPORA_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, m_root.Path(), m_root.Path());
    }

    CTempStateRoot m_root;
    CRegInterface m_store;
    CJob m_read;
};

} // namespace

TEST_F(StampTest, DeletionBetweenReadAndStampStays) {
    ASSERT_EQ(Tempora({"delete", "Nocna"}).code, 0);
    EXPECT_EQ(m_store.StampStart(m_read, COleDateTime::GetCurrentTime()),
              CRegInterface::EWriteIf::Changed);
    EXPECT_FALSE(m_store.ReadJob("Nocna", nullptr));
    EXPECT_FALSE(m_read.HasLastStart());
}

TEST_F(StampTest, SwitchOffBetweenReadAndStampStays) {
    ASSERT_EQ(Tempora({"disable", "Nocna"}).code, 0);
    EXPECT_EQ(m_store.StampStart(m_read, COleDateTime::GetCurrentTime()),
              CRegInterface::EWriteIf::Changed);
    CJob stored;
    ASSERT_TRUE(m_store.ReadJob("Nocna", &stored));
    EXPECT_FALSE(stored.IsActive());
    EXPECT_FALSE(stored.HasLastStart());
}

TEST_F(StampTest, UnchangedJobIsStamped) {
    const COleDateTime now = COleDateTime::GetCurrentTime();
    EXPECT_EQ(m_store.StampStart(m_read, now), CRegInterface::EWriteIf::Written);
    CJob stored;
    ASSERT_TRUE(m_store.ReadJob("Nocna", &stored));
    EXPECT_TRUE(stored.HasLastStart());
    EXPECT_EQ(stored.Store(), m_read.Store());
}

TEST_F(StampTest, StopDuringIdleWaitGivesTheStartBack) {
    // Due now, but waiting for half an hour of idle time first.
    ASSERT_TRUE(m_store.DeleteJob("Nocna"));
    ASSERT_TRUE(m_store.AddJob(*DueJob("Bezczynna", "/srv", 30)));
    const std::vector<BYTE> before = StoredBytes("Bezczynna");
    CProgram server({VEXSERV_PATH}, {{"RAMPART_ROOT", m_root.Path()}, {"TMPDIR", m_root.Path()}},
                    m_root.Path());
    // The server has stamped the start and waits for the machine to be idle.
    ASSERT_TRUE(WaitUntil([&] { return StoredBytes("Bezczynna") != before; }));
    kill(server.Pid(), SIGTERM);
    const CRunResult r = server.Wait();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("anulowano"), std::string::npos) << r.err;
    EXPECT_EQ(StoredBytes("Bezczynna"), before);
}
