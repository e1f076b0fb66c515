// A full file system: what was good before stays good, and the program says
// that it failed.
#include "CommandFile.h"
#include "DesktopRegistration.h"
#include "FaultUtil.h"
#include "FileOps.h"
#include "ScanParameterLaunch.h"
#include "ScanPaths.h"
#include "SignatureDb.h"
#include "TempStateRoot.h"

namespace {

class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        m_fs = std::make_unique<CSmallFileSystem>(m_root.Path() + "-small");
    }
    void TearDown() override {
        // The programs that used the small file system as their state root
        // made its events; they go while its name secret is still there.
        ::setenv("RAMPART_ROOT", Small().c_str(), 1);
        CNamedEvent::Remove(kServerEventName);
        CNamedBroadcast::Remove(kClientEventName);
        ::setenv("RAMPART_ROOT", m_root.Path().c_str(), 1);
        m_fs.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_root.Path() + "-small", ec);
    }
    std::string Small() const { return m_root.Path() + "-small"; }

    // vexscan over tree with the small file system as its state root.
    CRunResult RunScanner(const std::string& tree, const std::string& job, int action) {
        const std::string command = WriteScanCommand(m_root.Path(), tree, job, action);
        const std::string signatures = MakeTestSignatures(m_root.Path() + "/signatures");
        return CProgram({VEXSCAN_PATH, "-c", command},
                        {{"RAMPART_ROOT", Small()},
                         {"VEX_WINDOW", "hidden"},
                         {"VEX_SIGNATURES", signatures}},
                        m_root.Path())
            .Wait();
    }

    CTempStateRoot m_root;
    std::unique_ptr<CSmallFileSystem> m_fs;
};

} // namespace

TEST_F(FullDiskTest, ExportKeepsTheOldFileAndFails) {
    SKIP_UNLESS_MOUNTED(*m_fs);
    MakeJobKey();
    CRegInterface store;
    ASSERT_TRUE(store.Open(kJobKeyPath));
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(store.AddJob(*DueJob("Analiza " + std::to_string(i), "/srv/dane")));
    const std::string file = Small() + "/kopia.scj";
    ASSERT_EQ(RunProgram({TEMPORA_PATH, "export", file}, m_root.Path(), m_root.Path()).code, 0);
    const std::string good = ReadWhole(file);
    ASSERT_GT(good.size(), 2000u);

    m_fs->Fill();
    const CRunResult r = RunProgram({TEMPORA_PATH, "export", file}, m_root.Path(), m_root.Path());
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("kopia.scj"), std::string::npos) << r.err;
    EXPECT_EQ(ReadWhole(file), good);
    // Nothing of the attempt is left beside it.
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Small()))
        entries += entry.path().filename() != "filler";
    EXPECT_EQ(entries, 1u);
}

TEST_F(FullDiskTest, ScannerCountsALogItCannotWrite) {
    SKIP_UNLESS_MOUNTED(*m_fs);
    const std::string tree = m_root.Path() + "/tree";
    std::filesystem::create_directory(tree);
    std::ofstream(tree + "/a.txt") << "clean";
    // The log lives in the state root on the small file system; its folder
    // and file are there before the disk fills up.
    const std::string log = CScanPaths::ForJob(Small(), "Pełny dysk").m_strLog;
    std::filesystem::create_directories(std::filesystem::path(log).parent_path());
    std::ofstream(log).close();
    m_fs->Fill();

    const CRunResult r = RunScanner(tree, "Pełny dysk", kInfectLog);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("nie można zapisać protokołu " + log), std::string::npos) << r.err;
}

// A full quarantine on another file system: the finding stays where and as
// it was, nothing half-copied is left, and the reason is in Polish.
TEST_F(FullDiskTest, AFullQuarantineLeavesTheFindingInPlace) {
    SKIP_UNLESS_MOUNTED(*m_fs);
    const std::string tree = m_root.Path() + "/tree";
    std::filesystem::create_directory(tree);
    const std::string virus = kHashVirus;
    std::ofstream(tree + "/virus.bin") << virus;
    const std::string quarantine = CScanPaths::ForJob(Small(), "Pełny dysk").m_strQuarantine;
    std::filesystem::create_directories(quarantine);
    m_fs->Fill();
    const CRunResult r = RunScanner(tree, "Pełny dysk", kInfectMove);
    EXPECT_NE(r.err.find("virus.bin: zainfekowany (Vex.Test.Hash-1.UNOFFICIAL), nie można "
                         "zapisać opisu pliku w kwarantannie: brak miejsca na dysku"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadWhole(tree + "/virus.bin"), virus);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tree), {}), 1);
    EXPECT_TRUE(std::filesystem::is_empty(quarantine));
}

// A result that cannot be stored is an error of the scan, not a silent exit
// that leaves the previous result standing.
TEST_F(FullDiskTest, AResultThatCannotBeStoredIsAnError) {
    SKIP_UNLESS_MOUNTED(*m_fs);
    const std::string tree = m_root.Path() + "/tree";
    std::filesystem::create_directory(tree);
    std::ofstream(tree + "/virus.bin") << kHashVirus;
    ::setenv("RAMPART_ROOT", Small().c_str(), 1);
    MakeJobKey();
    CRegInterface store;
    ASSERT_TRUE(store.Open(kJobKeyPath));
    ASSERT_TRUE(store.AddJob(*DueJob("Pełny dysk", tree)));
    store.Close();
    ::setenv("RAMPART_ROOT", m_root.Path().c_str(), 1);
    m_fs->Fill();
    const CRunResult r = RunScanner(tree, "Pełny dysk", kInfectLog);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("vexscan: nie zapisano wyniku analizy: "), std::string::npos) << r.err;
}

TEST_F(FullDiskTest, AChangeThatCannotBeStoredSaysTheDiskIsFull) {
    SKIP_UNLESS_MOUNTED(*m_fs);
    ASSERT_EQ(RunProgram({VEXSERV_PATH, "--install"}, Small(), m_root.Path()).code, 0);
    ASSERT_EQ(RunProgram({TEMPORA_PATH, "add", "Dom", "--daily", "08:00", "--dir", "/"}, Small(),
                         m_root.Path())
                  .code,
              0);
    m_fs->Fill();
    for (const auto& args : {std::vector<std::string>{"add", "Praca", "--daily", "09:00"},
                             {"edit", "Dom", "--no-subdirs"}}) {
        std::vector<std::string> argv{TEMPORA_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        const CRunResult r = RunProgram(argv, Small(), m_root.Path());
        EXPECT_EQ(r.code, 1) << args[0];
        EXPECT_NE(r.err.find("Zapis analizy nie jest możliwy. Przyczyna: brak miejsca na dysku."),
                  std::string::npos)
            << r.err;
    }
}

TEST_F(FullDiskTest, InstallLeavesNoEmptyDatabaseAndSaysWhy) {
    SKIP_UNLESS_MOUNTED(*m_fs);
    m_fs->Fill();
    const CRunResult r = RunProgram({VEXSERV_PATH, "--install"}, Small(), m_root.Path());
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("dysk jest pełny"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Small() + "/machine.db"));
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Small()))
        entries += entry.path().filename() != "filler";
    EXPECT_EQ(entries, 0u);
}

TEST_F(FullDiskTest, DesktopFilesStayWholeOnAFullDisk) {
    SKIP_UNLESS_MOUNTED(*m_fs);
    // An older registration of the program under another path.
    CDesktopRegistration older("/opt/vex-alt/bin/vex-tempora");
    older.SetDataHome(QString::fromStdString(Small()));
    older.SetDataDirs({});
    older.SetSearchPath({});
    older.SetRunningAsRoot(false);
    ASSERT_EQ(older.Register(), CDesktopRegistration::Result::Registered);
    const std::string entry = Small() + "/applications/org.example.VexTempora.desktop";
    const std::string before = ReadWhole(entry);
    ASSERT_FALSE(before.empty());

    m_fs->Fill();
    CDesktopRegistration current("/usr/bin/vex-tempora");
    current.SetDataHome(QString::fromStdString(Small()));
    current.SetDataDirs({});
    current.SetSearchPath({});
    current.SetRunningAsRoot(false);
    EXPECT_EQ(current.Register(), CDesktopRegistration::Result::Failed);
    EXPECT_EQ(ReadWhole(entry), before);
}
