// The scan server as a program: it starts a due job with the real scanner,
// whose log then shows the scan, and SIGTERM ends it at once.
#include "Daily.h"
#include "Job.h"
#include "NamedMutex.h"
#include "Process.h"
#include "RegInterface.h"
#include "RunTestUtil.h"
#include "ScanPaths.h"
#include "TempStateRoot.h"
#include "TestString.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>

TEST(Vexserv, RunsADueJobWithTheScannerAndStopsOnSigterm) {
    CTempStateRoot root;
    ASSERT_EQ(std::system((std::string(VEXSERV_PATH) + " --install 2>/dev/null").c_str()), 0);
    const std::string tree = root.Path() + "/tree";
    std::filesystem::create_directory(tree);
    std::ofstream(tree + "/virus.com") << TestString();

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
    CRegInterface store;
    ASSERT_TRUE(store.Open(kJobKeyPath));
    ASSERT_TRUE(store.AddJob(job));

    CProcessStart start;
    start.m_strProgram = VEXSERV_PATH;
    start.m_env = {{"RAMPART_ROOT", root.Path()}, {"TMPDIR", root.Path()}};
    pid_t pid = -1;
    ASSERT_TRUE(StartProcess(start, &pid));
    const std::string log = CScanPaths::ForJob(root.Path(), "Nocny skan").m_strLog;
    for (int i = 0; i < 500 && !std::filesystem::exists(log); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the scan's summary line
    std::ifstream in(log);
    std::string line;
    std::getline(in, line);
    EXPECT_NE(line.find("Nocny skan: " + tree + ": 1 files, 1 infected"), std::string::npos)
        << line;
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
