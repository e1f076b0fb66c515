// The desktop notice after a scan without a window, against a real session
// bus: a dbus-daemon started here with a small notification service of its
// own (fake_notifier), and the real vexscan.
#include "ScanNotice.h"
#include "Daily.h"
#include "Job.h"
#include "JobResult.h"
#include "Process.h"
#include "RegInterface.h"
#include "SignatureDb.h"
#include "TempStateRoot.h"
#include "TestString.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Polls until pred holds or ten seconds have passed.
template <class Pred> bool WaitFor(Pred pred) {
    for (int i = 0; i < 200; ++i) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pred();
}

void Stop(pid_t& pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
}

class ScanNoticeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        m_dir = m_root.Path() + "/test";
        fs::create_directories(m_dir + "/tree");
        fs::create_directories(m_dir + "/bin");
        m_record = m_dir + "/notices";
        m_viewerArgs = m_dir + "/viewer-args";
        m_sigs = MakeTestSignatures(m_dir + "/signatures");
        // A stand-in for the window program: it records how it was asked
        // to show a log.
        const std::string viewer = m_dir + "/bin/vex-tempora";
        std::ofstream(viewer) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << m_viewerArgs
                              << ".part' && mv '" << m_viewerArgs << ".part' '" << m_viewerArgs
                              << "'\n";
        fs::permissions(viewer, fs::perms::owner_all);
    }
    void TearDown() override {
        Stop(m_notifier);
        Stop(m_bus);
    }

    // A session bus of our own, without service activation, so nothing but
    // the fake service can own the notification name.
    bool StartBus() {
        if (!fs::exists("/usr/bin/dbus-daemon"))
            return false;
        const std::string config = m_dir + "/bus.conf";
        const std::string socket = m_dir + "/bus";
        std::ofstream(config)
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration "
               "1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:path="
            << socket
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "<allow own=\"*\"/></policy></busconfig>\n";
        CProcessStart start;
        start.m_strProgram = "/usr/bin/dbus-daemon";
        start.m_args = {"--config-file=" + config, "--nofork", "--nopidfile"};
        if (!StartProcess(start, &m_bus))
            return false;
        m_address = "unix:path=" + socket;
        return WaitFor([&] { return fs::exists(socket); });
    }
    bool StartNotifier(std::vector<std::string> options) {
        CProcessStart start;
        start.m_strProgram = FAKE_NOTIFIER;
        start.m_args = {m_record};
        start.m_args.insert(start.m_args.end(), options.begin(), options.end());
        start.m_env = {{"DBUS_SESSION_BUS_ADDRESS", m_address}};
        return StartProcess(start, &m_notifier) &&
               WaitFor([&] { return ReadFile(m_record).find("ready\n") != std::string::npos; });
    }

    // Runs vexscan with the given arguments, no display, our bus and the
    // stand-in window program on the PATH; returns its exit code.
    int Vexscan(const std::string& args, const std::string& address = "") {
        const std::string command =
            "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR RAMPART_ROOT='" + m_root.Path() +
            "' VEX_WINDOW=hidden VEX_SIGNATURES='" + m_sigs + "' DBUS_SESSION_BUS_ADDRESS='" +
            (address.empty() ? m_address : address) + "' PATH='" + m_dir + "/bin:/usr/bin:/bin' " +
            VEXSCAN_PATH + " " + args + " </dev/null >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Scan(const std::string& name) {
        const std::string cmd = m_dir + "/vexcmd";
        std::ofstream(cmd, std::ios::binary) << "20010011\r\n"
                                             << name << "\r\n"
                                             << m_dir << "/tree\r\n";
        return Vexscan("-c '" + cmd + "'");
    }
    void AddJob(const char* name) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        CRegInterface store;
        ASSERT_TRUE(store.Open(kJobKeyPath));
        CJob job;
        job.SetName(name);
        job.GetScanParameter().m_strDirectory = m_dir + "/tree";
        ASSERT_TRUE(store.AddJob(job));
    }
    std::vector<std::string> Lines(const std::string& prefix) {
        std::vector<std::string> lines;
        std::istringstream in(ReadFile(m_record));
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        return lines;
    }

    CTempStateRoot m_root;
    std::string m_dir, m_record, m_viewerArgs, m_address, m_sigs;
    pid_t m_bus = -1;
    pid_t m_notifier = -1;
};

TEST(ScanNoticeTextTest, PolishTextsWithPluralForms) {
    CScanResult r;
    r.m_nFiles = 40;
    r.m_nInfected = 1;
    EXPECT_EQ(CScanNotice::Summary("Dom", r).toStdString(),
              "Vex: znaleziono 1 zainfekowany plik w analizie „Dom”");
    r.m_nInfected = 2;
    EXPECT_EQ(CScanNotice::Summary("Dom", r).toStdString(),
              "Vex: znaleziono 2 zainfekowane pliki w analizie „Dom”");
    for (size_t n : {5, 12, 14, 111})
        EXPECT_NE(CScanNotice::Summary("Dom", {40, n}).toStdString().find("zainfekowanych plików"),
                  std::string::npos)
            << n;
    r.m_nInfected = 22;
    EXPECT_NE(CScanNotice::Summary("Dom", r).toStdString().find("22 zainfekowane pliki"),
              std::string::npos);
    r.m_nInfected = 0;
    r.m_nChanged = 3;
    EXPECT_EQ(CScanNotice::Summary("Dom", r).toStdString(),
              "Vex: znaleziono 3 zmienione pliki w analizie „Dom”");
    r.m_nChanged = 0;
    r.m_nErrors = 4;
    EXPECT_EQ(CScanNotice::Summary("Dom", r).toStdString(),
              "Vex: analiza „Dom” zakończyła się błędami");
    EXPECT_EQ(CScanNotice::Body(r).toStdString(),
              "Sprawdzone pliki: 40, zainfekowane: 0, zmienione: 0, błędy: 4.");
    r.m_bFatal = true;
    EXPECT_EQ(CScanNotice::Summary("Dom", r).toStdString(), "Vex: analiza „Dom” nie powiodła się");

    EXPECT_TRUE(CScanNotice::IsWanted(r));
    EXPECT_FALSE(CScanNotice::IsWanted(CScanResult{}));
    CScanResult stopped;
    stopped.m_bStopped = true;
    EXPECT_FALSE(CScanNotice::IsWanted(stopped)); // stopped by the user, nothing found
}

TEST_F(ScanNoticeTest, FindingInTheBackgroundSendsANoticeWhoseActionOpensTheLog) {
    if (!StartBus())
        GTEST_SKIP() << "no dbus-daemon";
    ASSERT_TRUE(StartNotifier({"--click"}));
    AddJob("Dom");
    std::ofstream(m_dir + "/tree/virus") << TestString();
    std::ofstream(m_dir + "/tree/clean") << "nothing\n";

    // The scanner ends with its own exit code; the notice is the helper's.
    EXPECT_EQ(Scan("Dom"), 1);
    CJobResult result;
    ASSERT_TRUE(ReadJobResult("Dom", result));
    EXPECT_EQ(result.m_nInfected, 1u);

    ASSERT_TRUE(WaitFor([&] { return !Lines("Notify").empty(); })) << ReadFile(m_record);
    const std::string notify = Lines("Notify").front();
    EXPECT_NE(notify.find("\tVex\tVex: znaleziono 1 zainfekowany plik w analizie „Dom”\t"
                          "Sprawdzone pliki: 2, zainfekowane: 1, zmienione: 0, błędy: 0.\t"
                          "default|Pokaż protokół"),
              std::string::npos)
        << notify;
    // The click starts the window program on the job's log.
    ASSERT_TRUE(WaitFor([&] { return fs::exists(m_viewerArgs); }));
    EXPECT_EQ(ReadFile(m_viewerArgs), "--log\nDom\n");
    EXPECT_TRUE(Lines("CloseNotification").empty());
}

TEST_F(ScanNoticeTest, CleanScanSendsNothing) {
    if (!StartBus())
        GTEST_SKIP() << "no dbus-daemon";
    ASSERT_TRUE(StartNotifier({}));
    AddJob("Dom");
    std::ofstream(m_dir + "/tree/clean") << "nothing\n";
    EXPECT_EQ(Scan("Dom"), 0);
    // A notice would have been sent before a second scan's result could be
    // read; give a helper the time anyway.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(Lines("Notify").empty()) << ReadFile(m_record);
    CJobResult result;
    ASSERT_TRUE(ReadJobResult("Dom", result));
    EXPECT_EQ(result.GetText(), "czysto");
}

TEST_F(ScanNoticeTest, WithoutActionsTheHelperEndsAtOnceAndUnclickedNoticesAreWithdrawn) {
    if (!StartBus())
        GTEST_SKIP() << "no dbus-daemon";
    ASSERT_TRUE(StartNotifier({"--no-actions"}));
    // Run in the foreground: it returns after the one call.
    EXPECT_EQ(Vexscan("--notice Dom 'Vex: s' 'b'"), 0);
    ASSERT_EQ(Lines("Notify").size(), 1u);
    EXPECT_NE(Lines("Notify")[0].find("\tVex: s\tb\t"), std::string::npos);
    EXPECT_EQ(Lines("Notify")[0].back(), '\t'); // no actions offered
    Stop(m_notifier);

    // A service with actions and nobody clicking: after the time limit the
    // helper takes its notice back and ends.
    fs::remove(m_record);
    ASSERT_TRUE(StartNotifier({}));
    EXPECT_EQ(Vexscan("--notice Dom 'Vex: s' 'b' 1"), 0);
    ASSERT_EQ(Lines("Notify").size(), 1u);
    const std::string id = Lines("Notify")[0].substr(7, Lines("Notify")[0].find('\t', 7) - 7);
    ASSERT_EQ(Lines("CloseNotification").size(), 1u);
    EXPECT_EQ(Lines("CloseNotification")[0], "CloseNotification\t" + id);
    EXPECT_FALSE(fs::exists(m_viewerArgs));
}

TEST_F(ScanNoticeTest, NoBusOrNoServiceIsSkippedSilently) {
    AddJob("Dom");
    std::ofstream(m_dir + "/tree/virus") << TestString();
    // No bus at that address: the scan ends as always, with its result.
    EXPECT_EQ(Scan("Dom"), 1);
    m_address = "unix:path=" + m_dir + "/no-bus";
    EXPECT_EQ(Vexscan("--notice Dom s b 1"), 0);
    CJobResult result;
    ASSERT_TRUE(ReadJobResult("Dom", result));
    EXPECT_EQ(result.GetText(), "infekcje: 1");

    // A bus without a notification service.
    if (!StartBus())
        GTEST_SKIP() << "no dbus-daemon";
    EXPECT_EQ(Vexscan("--notice Dom s b 1"), 0);
    EXPECT_EQ(Scan("Dom"), 1);
    EXPECT_FALSE(fs::exists(m_record));
}

} // namespace

// Without signatures the notice and the stored result count what was not
// checked instead of calling it examined, and the notice says why.
TEST_F(ScanNoticeTest, UncheckedFilesAreCountedApartAndTheReasonIsSaid) {
    if (!StartBus())
        GTEST_SKIP() << "no dbus-daemon";
    // Without actions the helpers end once their notice is sent.
    ASSERT_TRUE(StartNotifier({"--no-actions"}));
    AddJob("Dom");
    std::ofstream(m_dir + "/tree/virus") << TestString();
    for (int i = 0; i < 6; ++i)
        std::ofstream(m_dir + "/tree/clean" + std::to_string(i)) << "nothing " << i << "\n";
    m_sigs = m_dir + "/no-signatures";
    fs::create_directories(m_sigs);

    EXPECT_EQ(Scan("Dom"), 2);
    CJobResult result;
    ASSERT_TRUE(ReadJobResult("Dom", result));
    EXPECT_EQ(result.GetText(), "infekcje: 1; nie sprawdzono: brak sygnatur (plików: 6)");
    ASSERT_TRUE(WaitFor([&] { return !Lines("Notify").empty(); })) << ReadFile(m_record);
    const std::string notify = Lines("Notify").front();
    EXPECT_NE(notify.find("\tSprawdzone pliki: 1, zainfekowane: 1, zmienione: 0, błędy: 0. "
                          "Nie sprawdzono: brak sygnatur (plików: 6). Przyczyna: "),
              std::string::npos)
        << notify;
}
