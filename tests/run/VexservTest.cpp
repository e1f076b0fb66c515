// The scan server as a program: it starts a due job with the real scanner,
// which finds what the installed signatures recognise and acts on it, and
// SIGTERM ends the server at once.
#include "Daily.h"
#include "Job.h"
#include "JobResult.h"
#include "NamedMutex.h"
#include "Process.h"
#include "RegInterface.h"
#include "RunTestUtil.h"
#include "ScanPaths.h"
#include "Settings.h"
#include "SignatureDb.h"
#include "TempStateRoot.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <sys/wait.h>

TEST(Vexserv, RunsADueJobWithTheScannerAndStopsOnSigterm) {
    CTempStateRoot root;
    ASSERT_EQ(std::system((std::string(VEXSERV_PATH) + " --install 2>/dev/null").c_str()), 0);
    const std::string tree = root.Path() + "/tree";
    std::filesystem::create_directory(tree);
    std::ofstream(tree + "/virus.bin") << kHashVirus;
    // The scanner finds its signatures where the settings say.
    const std::string sigs = MakeTestSignatures(root.Path() + "/signatures");
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kSignaturesValue, sigs.c_str()));

    // Due now: a daily start at this minute, counted from yesterday.
    const COleDateTime now = COleDateTime::GetCurrentTime();
    int hour = now.GetHour(), minute = now.GetMinute();
    CDaily daily;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    CJob job;
    job.SetName("Nocny skan");
    job.SetPeriod(daily, now - COleDateTimeSpan(1, 0, 0, 0));
    job.GetScanParameter().m_strDirectory = tree;
    job.GetScanParameter().m_nFileSelection = 0;
    job.GetScanParameter().m_nInfectionAction = 4; // move to the quarantine
    CRegInterface store;
    ASSERT_TRUE(store.Open(kJobKeyPath));
    ASSERT_TRUE(store.AddJob(job));

    CProcessStart start;
    start.m_strProgram = VEXSERV_PATH;
    start.m_env = {{"RAMPART_ROOT", root.Path()}, {"TMPDIR", root.Path()}};
    pid_t pid = -1;
    ASSERT_TRUE(StartProcess(start, &pid));
    const CScanPaths paths = CScanPaths::ForJob(root.Path(), "Nocny skan");
    const std::string summary = "Nocny skan: " + tree + ": plików 1, zainfekowanych 1";
    std::string text;
    for (int i = 0; i < 1000 && text.find(summary) == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(paths.m_strLog);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_NE(text.find(summary), std::string::npos) << text;
    // The scanner read its own priority back when it began.
    std::smatch nice;
    const std::regex header("vexscan Nocny skan \\(nice (\\d+), we/wy: bezczynne\\)\n");
    EXPECT_TRUE(std::regex_search(text, nice, header)) << text;
    EXPECT_GE(nice.empty() ? 0 : std::stoi(nice[1]), 10);
    EXPECT_NE(text.find("virus.bin: zainfekowany (Vex.Test.Hash-1"), std::string::npos) << text;
    EXPECT_NE(text.find("przeniesiony do " + paths.m_strQuarantine), std::string::npos) << text;
    EXPECT_FALSE(std::filesystem::exists(tree + "/virus.bin"));
    // The scanner's exit code 1 (a finding) is the job's last result.
    CJobResult result;
    for (int i = 0; i < 500 && !ReadJobResult("Nocny skan", result); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(result.m_nExitCode, 1);
    EXPECT_EQ(result.m_nInfected, 1u);
    EXPECT_EQ(result.GetText(), "infekcje: 1");
    EXPECT_TRUE(CNamedMutex::IsHeld(kServerMutexName));

    ::kill(pid, SIGTERM);
    int status = -1;
    for (int i = 0; i < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    if (!WIFEXITED(status)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    EXPECT_FALSE(CNamedMutex::IsHeld(kServerMutexName));
}
