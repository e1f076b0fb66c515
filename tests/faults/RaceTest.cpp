// Two programs changing one job at the same moment: each change is read,
// made and written as one, so neither undoes the other, a deleted job stays
// deleted and a start the server stamped is never written back over.
#include "FaultUtil.h"
#include "JobResult.h"
#include "TempStateRoot.h"

#include <csignal>

namespace {

constexpr int kRounds = 30;

class RaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        MakeJobKey();
        ASSERT_TRUE(m_store.Open(kJobKeyPath));
    }
    std::unique_ptr<CProgram> Start(const std::vector<std::string>& args) {
        std::vector<std::string> argv{TEMPORA_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<CProgram>(
            argv, std::map<std::string, std::string>{{"RAMPART_ROOT", m_root.Path()}},
            m_root.Path());
    }
    // Both at once; their exit codes.
    std::pair<int, int> Race(const std::vector<std::string>& a, const std::vector<std::string>& b) {
        auto first = Start(a);
        auto second = Start(b);
        return {first->Wait().code, second->Wait().code};
    }
    void Add(const std::string& name) {
        auto job = DueJob(name, "/srv");
        job->SetActive(false);
        ASSERT_TRUE(m_store.AddJob(*job));
    }

    CTempStateRoot m_root;
    CRegInterface m_store;
};

} // namespace

TEST_F(RaceTest, ConcurrentEditsOfDifferentOptionsBothStay) {
    Add("Wspólna");
    int lost = 0;
    for (int i = 0; i < kRounds; ++i) {
        const std::string dir = "/dane/" + std::to_string(i);
        const char* log = i % 2 ? "none" : "detailed";
        const auto [a, b] = Race({"edit", "Wspólna", "--dir", dir, "--allow-missing"},
                                 {"edit", "Wspólna", "--log", log});
        ASSERT_EQ(a, 0);
        ASSERT_EQ(b, 0);
        CJob stored;
        ASSERT_TRUE(m_store.ReadJob("Wspólna", &stored));
        const CScanParameter& scan = stored.GetScanParameter();
        lost += scan.m_strDirectory != dir || scan.m_nLogMode != (i % 2 ? 0u : 2u);
    }
    EXPECT_EQ(lost, 0) << "changes undone by the other edit, of " << kRounds;
}

TEST_F(RaceTest, DeleteRacingASwitchOrARenameNeverBringsAJobBack) {
    int back = 0;
    for (int i = 0; i < kRounds; ++i) {
        const std::string name = "Znikająca " + std::to_string(i);
        Add(name);
        const auto [deleted, disabled] = Race({"delete", name}, {"disable", name});
        ASSERT_EQ(deleted, 0);
        EXPECT_NE(disabled, 2);
        back += m_store.ReadJob(name.c_str(), nullptr);

        // A rename is a delete of the old name too: an edit that read the
        // job before must not write it back beside the renamed one.
        const std::string old = "Stara " + std::to_string(i), renamed = "Nowa " + std::to_string(i);
        Add(old);
        const auto [moved, edited] =
            Race({"edit", old, "--rename", renamed}, {"edit", old, "--no-subdirs"});
        ASSERT_EQ(moved, 0);
        back += m_store.ReadJob(old.c_str(), nullptr);
        CJob stored;
        ASSERT_TRUE(m_store.ReadJob(renamed.c_str(), &stored));
        if (edited == 0) {
            EXPECT_FALSE(stored.GetScanParameter().m_bSubdirectories) << renamed;
        }
    }
    EXPECT_EQ(back, 0) << "jobs deleted or renamed that came back, of " << 2 * kRounds;
}

TEST_F(RaceTest, AnEditNeverWritesBackAStartStampedMeanwhile) {
    Add("Stemplowana");
    time_t stamp = std::time(nullptr) - 100 * 24 * 3600;
    int older = 0;
    for (int i = 0; i < kRounds; ++i) {
        auto edit = Start({"edit", "Stemplowana", "--log", i % 2 ? "none" : "combined"});
        time_t latest = 0;
        CRunResult ended;
        // The server's way: a start stamped only on the job as read.
        do {
            CJob job;
            ASSERT_TRUE(m_store.ReadJob("Stemplowana", &job));
            stamp += 3600;
            if (m_store.StampStart(job, stamp) == CRegInterface::EWriteIf::Written)
                latest = job.GetLastStartInstant();
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        } while (!edit->HasEnded(ended));
        ASSERT_EQ(ended.code, 0) << ended.err;
        CJob stored;
        ASSERT_TRUE(m_store.ReadJob("Stemplowana", &stored));
        older += latest != 0 && stored.GetLastStartInstant() != latest;
    }
    EXPECT_EQ(older, 0) << "stamped starts undone by an edit, of " << kRounds;
}

TEST_F(RaceTest, ARenameKilledAnywhereKeepsTheResultWithTheJob) {
    Add("Tam");
    CJobResult result;
    result.m_nFinished = 1700000000;
    result.m_nFiles = 7;
    ASSERT_TRUE(WriteJobResult("Tam", result));
    std::string name = "Tam";
    int astray = 0;
    for (int i = 0; i < 2 * kRounds; ++i) {
        const std::string next = name == "Tam" ? "Tu" : "Tam";
        auto rename = Start({"edit", name, "--rename", next});
        // Killed the moment the job shows its new name, or at once.
        CRunResult ended;
        bool bEnded = false;
        while (i % 2 && !m_store.ReadJob(next.c_str(), nullptr) &&
               !(bEnded = rename->HasEnded(ended)))
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        if (!bEnded) {
            kill(rename->Pid(), SIGKILL);
            rename->Wait();
        }
        const bool bMoved = m_store.ReadJob(next.c_str(), nullptr);
        ASSERT_NE(bMoved, m_store.ReadJob(name.c_str(), nullptr)) << "one job, under one name";
        if (bMoved)
            name = next;
        CJobResult stored;
        astray += !ReadJobResult(name.c_str(), stored) || !(stored == result);
        // The next round starts whole.
        ASSERT_TRUE(WriteJobResult(name.c_str(), result));
        HKEY results = nullptr;
        ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kResultKeyPath, &results), ERROR_SUCCESS);
        RegDeleteValue(results, name == "Tam" ? "Tu" : "Tam");
        RegCloseKey(results);
    }
    EXPECT_EQ(astray, 0) << "renames that left the last result behind, of " << 2 * kRounds;
}
