// The scanner program as the server and "run now" start it.
#include "ScanPaths.h"
#include "TestString.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

class VexscanTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/vexscanrunXXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_base = dir;
        fs::create_directories(m_base + "/tree");
        m_cmdFile = m_base + "/vexcmd";
    }
    void TearDown() override { fs::remove_all(m_base); }

    void WriteCommand(const std::string& digits, const std::string& name) {
        std::ofstream(m_cmdFile, std::ios::binary) << digits << "\r\n"
                                                   << name << "\r\n"
                                                   << m_base << "/tree\r\n";
    }
    // Runs vexscan; returns its exit code and what it printed on stdout.
    int Run(const std::string& window, std::string* out = nullptr) {
        std::string command = "RAMPART_ROOT='" + m_base + "/state' VEX_WINDOW=" + window + " " +
                              VEXSCAN_PATH + " -c '" + m_cmdFile + "' </dev/null 2>/dev/null";
        FILE* p = ::popen(command.c_str(), "r");
        if (!p)
            return -1;
        std::string text;
        char buf[256];
        while (size_t n = std::fread(buf, 1, sizeof buf, p))
            text.append(buf, n);
        int status = ::pclose(p);
        if (out)
            *out = text;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string m_base, m_cmdFile;
};

TEST_F(VexscanTest, ExitCodesAndCommandFileCleanUp) {
    std::ofstream(m_base + "/tree/clean.sh") << "echo\n";
    WriteCommand("21010011", "Job");
    std::string out;
    EXPECT_EQ(Run("normal", &out), 0);
    EXPECT_FALSE(fs::exists(m_cmdFile));
    EXPECT_NE(out.find("Job: " + m_base + "/tree: 1 files, 0 infected"), std::string::npos) << out;

    std::ofstream(m_base + "/tree/virus") << TestString();
    WriteCommand("21010011", "Job");
    EXPECT_EQ(Run("hidden", &out), 1);
    EXPECT_TRUE(out.empty()); // a hidden scanner prints nothing
    EXPECT_FALSE(fs::exists(m_cmdFile));
    // The combined log holds one line per scan.
    std::ifstream log(CScanPaths::ForJob(m_base + "/state", "Job").m_strLog);
    std::stringstream ss;
    ss << log.rdbuf();
    const std::string text = ss.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
}

TEST_F(VexscanTest, DamagedCommandFileIsAnErrorAndIsKept) {
    std::ofstream(m_cmdFile) << "not a command file\n";
    EXPECT_EQ(Run("hidden"), 2);
    EXPECT_TRUE(fs::exists(m_cmdFile));
    m_cmdFile = m_base + "/missing";
    EXPECT_EQ(Run("hidden"), 2);
}

} // namespace
