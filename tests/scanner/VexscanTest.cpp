// The scanner program as the server and "run now" start it.
#include "ScanPaths.h"
#include "Settings.h"
#include "SignatureDb.h"
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
        m_sigs = MakeTestSignatures(m_base + "/signatures");
    }
    void TearDown() override { fs::remove_all(m_base); }

    void WriteCommand(const std::string& digits, const std::string& name) {
        std::ofstream(m_cmdFile, std::ios::binary) << digits << "\r\n"
                                                   << name << "\r\n"
                                                   << m_base << "/tree\r\n";
    }
    // Runs vexscan; returns its exit code and what it printed on stdout.
    int Run(const std::string& window, std::string* out = nullptr,
            const std::string& display = "") {
        std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + display + " RAMPART_ROOT='" +
                              m_base + "/state' VEX_WINDOW=" + window + " VEX_SIGNATURES='" +
                              m_sigs + "' " + VEXSCAN_PATH + " -c '" + m_cmdFile +
                              "' </dev/null 2>/dev/null";
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

    std::string LogText(const std::string& job) const {
        std::ifstream log(CScanPaths::ForJob(m_base + "/state", job).m_strLog);
        std::stringstream ss;
        ss << log.rdbuf();
        return ss.str();
    }

    std::string m_base, m_cmdFile, m_sigs;
};

TEST_F(VexscanTest, ExitCodesAndCommandFileCleanUp) {
    std::ofstream(m_base + "/tree/clean.sh") << "echo\n";
    WriteCommand("21010011", "Job");
    std::string out;
    EXPECT_EQ(Run("normal", &out), 0);
    EXPECT_FALSE(fs::exists(m_cmdFile));
    EXPECT_NE(out.find("Job: " + m_base + "/tree: plików 1, zainfekowanych 0"), std::string::npos)
        << out;

    std::ofstream(m_base + "/tree/virus") << TestString();
    WriteCommand("21010011", "Job");
    EXPECT_EQ(Run("hidden", &out), 1);
    EXPECT_TRUE(out.empty()); // a hidden scanner prints nothing
    EXPECT_FALSE(fs::exists(m_cmdFile));
    // The combined log holds, per scan, a header, the engine, the findings
    // and the summary.
    const std::string text = LogText("Job");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7) << text;
}

TEST_F(VexscanTest, DamagedCommandFileIsAnErrorAndIsKept) {
    std::ofstream(m_cmdFile) << "not a command file\n";
    EXPECT_EQ(Run("hidden"), 2);
    EXPECT_TRUE(fs::exists(m_cmdFile));
    m_cmdFile = m_base + "/missing";
    EXPECT_EQ(Run("hidden"), 2);
}

} // namespace

TEST_F(VexscanTest, SignatureFolderFromTheEnvironmentOrTheSettings) {
    std::ofstream(m_base + "/tree/sample.bin") << kHashVirus;
    WriteCommand("21010011", "Env");
    EXPECT_EQ(Run("hidden"), 1);
    EXPECT_NE(LogText("Env").find("sygnatur: 2 (" + m_sigs + ")"), std::string::npos);

    // Without the variable the settings name the folder; here they name a
    // folder that does not exist, which is an error and reports nothing clean.
    const std::string missing = m_base + "/no-signatures";
    ::setenv("RAMPART_ROOT", (m_base + "/state").c_str(), 1);
    ASSERT_TRUE(
        RegSetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kSignaturesValue, missing.c_str()));
    ::unsetenv("RAMPART_ROOT");
    m_sigs.clear();
    WriteCommand("21010011", "Settings");
    EXPECT_EQ(Run("hidden"), 2);
    const std::string log = LogText("Settings");
    EXPECT_NE(log.find("folder sygnatur " + missing + ": nie istnieje"), std::string::npos) << log;
    EXPECT_NE(log.find("clamav-freshclam"), std::string::npos) << log;
    EXPECT_EQ(log.find(": ok"), std::string::npos) << log;
}

// A shown scanner with end mode 0 would keep its window open; without a
// display, or with one that cannot be reached, it must not wait for anybody.
TEST_F(VexscanTest, WithoutAReachableDisplayNothingWaits) {
    std::ofstream(m_base + "/tree/virus.bin") << kHashVirus;
    for (const std::string display : {"", "-u QT_QPA_PLATFORM DISPLAY=:987"}) {
        SCOPED_TRACE(display);
        WriteCommand("01010011", "Stays");
        std::string out;
        EXPECT_EQ(Run("normal", &out, display), 1);
        EXPECT_NE(out.find("Stays: " + m_base + "/tree: plików 1, zainfekowanych 1"),
                  std::string::npos)
            << out;
    }
}

// In front and with a display, the scan runs in its window, which the window
// module brings (offscreen here): nothing is printed, and with end mode 2
// the window closes itself once the scan is over.
TEST_F(VexscanTest, WithADisplayTheScanRunsInItsWindow) {
    std::ofstream(m_base + "/tree/virus.bin") << kHashVirus;
    WriteCommand("21010011", "Shown");
    std::string out;
    EXPECT_EQ(Run("normal", &out, "QT_QPA_PLATFORM=offscreen DISPLAY=:987"), 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(LogText("Shown").find("virus.bin: zainfekowany (Vex.Test.Hash-1"), std::string::npos)
        << LogText("Shown");
}

// Whoever else can change the state root could steer where a scan writes
// its log and moves files: the scanner refuses to start.
TEST_F(VexscanTest, RefusesAStateRootOthersCanChange) {
    std::ofstream(m_base + "/tree/virus") << TestString();
    fs::create_directories(m_base + "/state");
    fs::permissions(m_base + "/state", fs::perms::all);
    WriteCommand("21013011", "Job"); // delete what is found
    EXPECT_EQ(Run("hidden"), 2);
    EXPECT_TRUE(fs::exists(m_base + "/tree/virus"));
    EXPECT_FALSE(fs::exists(m_base + "/state/scanner"));
}
