#include "Job.h"
#include "RunTestUtil.h"
#include "ScanLock.h"
#include "ScanParameterLaunch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Runs each test with its own TMPDIR and a record file for the fake scanner.
class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_tmp = m_dir.Path() + "/tmp";
        fs::create_directory(m_tmp);
        m_out = m_dir.Path() + "/record";
        ::setenv("TMPDIR", m_tmp.c_str(), 1);
        ::setenv("VEX_FAKE_OUT", m_out.c_str(), 1);
        // The scan locks live in the state root.
        ::setenv("RAMPART_ROOT", (m_dir.Path() + "/state").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("TMPDIR");
        ::unsetenv("VEX_FAKE_OUT");
        ::unsetenv("VEX_FAKE_HOLD");
        ::unsetenv("VEX_FAKE_ABORT");
        ::unsetenv("VEX_FAKE_KEEP");
        ::unsetenv("RAMPART_ROOT");
    }
    size_t FilesInTmp() const {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(m_tmp), fs::directory_iterator()));
    }

    CTempDir m_dir;
    std::string m_tmp, m_out;
};

} // namespace

TEST_F(LaunchTest, DefaultOptionsGiveTheThreeLinesWithCrLf) {
    CScanParameter p;
    p.m_strDirectory = "C:\\";
    ASSERT_TRUE(p.Launch(FAKE_SCANNER, "Test"));
    auto rec = WaitForRecord(m_out);
    EXPECT_EQ(rec["cmd"], "11110011\r\nTest\r\nC:\\\r\n");
    EXPECT_EQ(rec["argc"], "3");
    EXPECT_EQ(rec["arg1"], "-c");
    EXPECT_EQ(rec["arg2"].rfind(m_tmp + "/vex", 0), 0u) << rec["arg2"];
    EXPECT_EQ(rec["mode"], "600");
    EXPECT_EQ(rec["window"], "normal");
    EXPECT_EQ(rec["cwd"], fs::path(FAKE_SCANNER).parent_path().string());
    // Only the job's scan lock is handed on.
    EXPECT_EQ(rec["fds"], "3 ");
}

TEST_F(LaunchTest, ACommandFileTheScannerDidNotTakeIsRemovedWhenItEnds) {
    ::setenv("VEX_FAKE_KEEP", "1", 1); // the stand-in refuses: it leaves the file
    CScanParameter p;
    p.m_strDirectory = "/home";
    ASSERT_TRUE(p.Launch(FAKE_SCANNER, "Odrzucona"));
    ASSERT_FALSE(WaitForRecord(m_out).empty());
    for (int i = 0; i < 500 && FilesInTmp() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(FilesInTmp(), 0u);

    // A whole run learns of the refusal before it returns: no start, no file.
    CJob job;
    job.SetName("Odrzucona");
    job.GetScanParameter() = p;
    job.m_strScanner = FAKE_SCANNER;
    fs::remove(m_out);
    EXPECT_EQ(job.Execute(), CJob::ERunResult::Refused);
    EXPECT_FALSE(WaitForRecord(m_out).empty());
    EXPECT_EQ(FilesInTmp(), 0u);
    ::unsetenv("VEX_FAKE_KEEP");
    fs::remove(m_out);
    EXPECT_EQ(job.Execute(), CJob::ERunResult::Started);
    EXPECT_FALSE(WaitForRecord(m_out).empty());
    EXPECT_EQ(FilesInTmp(), 0u);
}

TEST_F(LaunchTest, DigitsFollowTheirOrderAndBackgroundModeHidesTheScanner) {
    CScanParameter p;
    p.m_nEndMode = 2;
    p.m_bHeuristic = false;
    p.m_nFileSelection = 0;
    p.m_bSubdirectories = false;
    p.m_nInfectionAction = 4;
    p.m_nReferenceDiffAction = 1;
    p.m_nLogMode = 0;
    p.m_nReferenceCheck = 0;
    p.m_nWindowMode = 1;
    p.m_strDirectory = "/home/ąę dir";
    EXPECT_EQ(BuildCommandFileText(p, "Nocny"), "20004100\r\nNocny\r\n/home/ąę dir\r\n");
    ASSERT_TRUE(p.Launch(FAKE_SCANNER, "Nocny"));
    auto rec = WaitForRecord(m_out);
    EXPECT_EQ(rec["cmd"], "20004100\r\nNocny\r\n/home/ąę dir\r\n");
    EXPECT_EQ(rec["window"], "hidden");
}

TEST_F(LaunchTest, LineBreaksCannotShiftTheFolderLine) {
    CScanParameter p;
    p.m_strDirectory = "/safe";
    EXPECT_EQ(BuildCommandFileText(p, "a\r\nb\nc"), "11110011\r\na  b c\r\n/safe\r\n");
    p.m_strDirectory = "/tmp\n/etc";
    EXPECT_FALSE(p.Launch(FAKE_SCANNER, "x"));
    EXPECT_EQ(FilesInTmp(), 0u);
}

TEST(ScannerWorkingDirectory, CutsAtTheLastSlash) {
    EXPECT_EQ(ScannerWorkingDirectory("/opt/vex/bin/vexscan"), "/opt/vex/bin");
    EXPECT_EQ(ScannerWorkingDirectory("/vexscan"), "/");
    EXPECT_EQ(ScannerWorkingDirectory("vexscan"), "vexscan");
    EXPECT_EQ(ScannerWorkingDirectory("bin/vexscan"), "bin");
}

TEST_F(LaunchTest, NothingStartsWithoutAnExecutableScanner) {
    CScanParameter p;
    std::string plain = m_dir.Path() + "/plain";
    { std::ofstream(plain) << "#!/bin/sh\n"; }
    for (const char* scanner : {"", "/nonexistent/vexscan", "/", plain.c_str()})
        EXPECT_FALSE(p.Launch(scanner, "Test")) << scanner;
    EXPECT_FALSE(p.Launch(nullptr, "Test"));
    EXPECT_EQ(FilesInTmp(), 0u); // no command file left behind
    EXPECT_FALSE(fs::exists(m_out));
}

TEST_F(LaunchTest, AnUnusableTemporaryFolderStartsNothing) {
    ::setenv("TMPDIR", (m_dir.Path() + "/missing").c_str(), 1);
    CScanParameter p;
    EXPECT_FALSE(p.Launch(FAKE_SCANNER, "Test"));
}

// Waits (a few seconds at most) until no scan of the job runs.
static bool WaitUntilEnded(const char* name) {
    for (int i = 0; i < 500 && CScanLock::IsRunning(name); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !CScanLock::IsRunning(name);
}

TEST_F(LaunchTest, NoSecondScanOfAJobStartsWhileItsScanRunsAndACrashLeavesNoLock) {
    CScanParameter p;
    p.m_strDirectory = "/home";
    const std::string hold = m_dir.Path() + "/hold";
    std::ofstream(hold).put('x');
    ::setenv("VEX_FAKE_HOLD", hold.c_str(), 1);
    // A scan that outlives its period: it runs until the hold file goes.
    ASSERT_TRUE(p.Launch(FAKE_SCANNER, "Długa"));
    ASSERT_FALSE(WaitForRecord(m_out).empty());
    EXPECT_TRUE(CScanLock::IsRunning("Długa"));
    EXPECT_TRUE(CScanLock::IsRunning("DŁUGA")); // names compare as the store compares them
    bool bRunning = false;
    const size_t files = FilesInTmp();
    EXPECT_FALSE(p.Launch(FAKE_SCANNER, "długa", &bRunning));
    EXPECT_TRUE(bRunning);
    EXPECT_EQ(FilesInTmp(), files); // no command file for the skipped start
    // Another job is not held up.
    fs::remove(m_out);
    EXPECT_TRUE(p.Launch(FAKE_SCANNER, "Inna", &bRunning));
    EXPECT_FALSE(bRunning);
    ASSERT_FALSE(WaitForRecord(m_out).empty());

    // Through a whole run: the job says it was skipped.
    CJob job;
    job.SetName("Długa");
    job.GetScanParameter() = p;
    job.m_strScanner = FAKE_SCANNER;
    EXPECT_EQ(job.Execute(), CJob::ERunResult::StillRunning);
    fs::remove(hold);
    ASSERT_TRUE(WaitUntilEnded("Długa"));

    // A scanner that crashes leaves nothing behind that blocks the next start.
    ::unsetenv("VEX_FAKE_HOLD");
    ::setenv("VEX_FAKE_ABORT", "1", 1);
    fs::remove(m_out);
    EXPECT_EQ(job.Execute(), CJob::ERunResult::Started);
    ASSERT_FALSE(WaitForRecord(m_out).empty());
    ASSERT_TRUE(WaitUntilEnded("Długa"));
    ::unsetenv("VEX_FAKE_ABORT");
    fs::remove(m_out);
    EXPECT_EQ(job.Execute(), CJob::ERunResult::Started);
    EXPECT_FALSE(WaitForRecord(m_out).empty());
}
