#include "Job.h"
#include "RunTestUtil.h"
#include "ScanParameterLaunch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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
    }
    void TearDown() override {
        ::unsetenv("TMPDIR");
        ::unsetenv("VEX_FAKE_OUT");
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
    EXPECT_EQ(rec["fds"], "");
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
