// The server reaps the scanners it starts: a command file the scanner did
// not take is removed and the refusal logged, an accepted one logs its end.
#include "FixedClock.h"
#include "Hourly.h"
#include "JobResult.h"
#include "RegInterface.h"
#include "RunTestUtil.h"
#include "ScanLock.h"
#include "Scheduler.h"
#include "Server.h"
#include "Settings.h"
#include "TempStateRoot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ScannerEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "vexexe", FAKE_SCANNER));
        ASSERT_TRUE(m_store.Open(kJobKeyPath));
        std::string error;
        ASSERT_TRUE(m_server.Start(error)) << error;
        m_tmp = m_dir.Path() + "/tmp";
        fs::create_directory(m_tmp);
        ::setenv("TMPDIR", m_tmp.c_str(), 1);
        ::setenv("VEX_FAKE_OUT", (m_dir.Path() + "/record").c_str(), 1);
        m_log = std::tmpfile();
        ASSERT_NE(m_log, nullptr);
        CScheduler::Options options;
        options.bootId = [] { return std::string("boot"); };
        options.log = m_log;
        m_scheduler = std::make_unique<CScheduler>(options);
    }
    void TearDown() override {
        m_scheduler.reset();
        std::fclose(m_log);
        for (const char* name : {"TMPDIR", "VEX_FAKE_OUT", "VEX_FAKE_KEEP"})
            ::unsetenv(name);
    }

    void AddDueJob(const char* name) {
        CJob job;
        job.SetName(name);
        CHourly hourly;
        hourly.SetMinute(true, 0);
        job.SetPeriod(hourly, COleDateTime(2026, 12, 8, 9, 30, 0));
        ASSERT_TRUE(m_store.AddJob(job));
    }
    std::string Log() const {
        std::string text;
        std::rewind(m_log);
        char buf[512];
        while (std::fgets(buf, sizeof buf, m_log) != nullptr)
            text += buf;
        return text;
    }
    // Passes until the log holds `what` (a few seconds at most).
    bool PassUntilLogged(const std::string& what) {
        for (int i = 0; i < 500; ++i) {
            m_scheduler->RunPass(m_server);
            if (Log().find(what) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    size_t CommandFiles() const {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(m_tmp), fs::directory_iterator()));
    }

    FixedClock m_clock{2026, 12, 8, 10, 0, 20};
    CTempStateRoot m_root;
    CTempDir m_dir;
    std::string m_tmp;
    CRegInterface m_store;
    CServer m_server;
    std::FILE* m_log = nullptr;
    std::unique_ptr<CScheduler> m_scheduler;
};

} // namespace

TEST_F(ScannerEnd, RefusedCommandFileIsRemovedAndAcceptedOneLogsTheEnd) {
    ::setenv("VEX_FAKE_KEEP", "1", 1); // the stand-in refuses its command file
    AddDueJob("Odrzucona");
    ASSERT_TRUE(PassUntilLogged("odrzucono \"Odrzucona\""));
    // A refused run was never a start.
    EXPECT_EQ(Log().find("start \"Odrzucona\""), std::string::npos) << Log();
    EXPECT_EQ(CommandFiles(), 0u);
    CJobResult result;
    ASSERT_TRUE(ReadJobResult("Odrzucona", result));
    EXPECT_EQ(result.GetText(), "odrzucono: skaner nie przyjął ustawień");

    ::unsetenv("VEX_FAKE_KEEP");
    AddDueJob("Przyjęta");
    ASSERT_TRUE(PassUntilLogged("koniec \"Przyjęta\": skaner zakończył się kodem 0")) << Log();
    EXPECT_NE(Log().find("start \"Przyjęta\""), std::string::npos);
    EXPECT_EQ(Log().find("odrzucono \"Przyjęta\""), std::string::npos);
    EXPECT_EQ(CommandFiles(), 0u);
    // The stand-in stores no result: no earlier one may stand for this run.
    ASSERT_TRUE(ReadJobResult("Przyjęta", result));
    EXPECT_EQ(result.GetText(), "nie zapisano wyniku");

    ::setenv("VEX_FAKE_ABORT", "1", 1);
    AddDueJob("Przerwana");
    ASSERT_TRUE(PassUntilLogged("\"Przerwana\": skaner zakończył się sygnałem 6")) << Log();
    ::unsetenv("VEX_FAKE_ABORT");
    ASSERT_TRUE(ReadJobResult("Przerwana", result));
    EXPECT_EQ(result.GetText(), "przerwano (sygnał 6)");
}

// While a job's scan runs, the server starts no second one and the skipped
// start is the job's last result.
TEST_F(ScannerEnd, StartWhileTheScanRunsIsSkippedAndRecorded) {
    AddDueJob("Długa");
    CScanLock running("Długa");
    ASSERT_TRUE(running.TryLock());
    ASSERT_TRUE(PassUntilLogged("pominięto \"Długa\": poprzednia analiza jeszcze trwa")) << Log();
    EXPECT_EQ(Log().find("start \"Długa\""), std::string::npos);
    EXPECT_EQ(CommandFiles(), 0u);
    CJobResult result;
    ASSERT_TRUE(ReadJobResult("Długa", result));
    EXPECT_EQ(result.GetText(), "pominięto: poprzednia analiza trwa");
}

// A job the scanner would refuse (a folder from another system) is refused by
// the server itself, once for its slot: no scanner, no command file.
TEST_F(ScannerEnd, JobTheScannerWouldRefuseIsRefusedAtTheDoorOncePerSlot) {
    AddDueJob("Z Windows");
    CJob job;
    ASSERT_TRUE(m_store.ReadJob("Z Windows", &job));
    job.GetScanParameter().m_strDirectory = "C:\\Dane";
    ASSERT_TRUE(m_store.WriteJob(job, 0, nullptr));

    ASSERT_TRUE(PassUntilLogged("odrzucono \"Z Windows\": folder nie jest ścieżką bezwzględną"))
        << Log();
    m_scheduler->RunPass(m_server);
    const std::string log = Log();
    EXPECT_EQ(log.find("odrzucono \"Z Windows\""), log.rfind("odrzucono \"Z Windows\""));
    EXPECT_EQ(log.find("start \"Z Windows\""), std::string::npos);
    EXPECT_FALSE(fs::exists(m_dir.Path() + "/record")); // no scanner ran
    EXPECT_EQ(CommandFiles(), 0u);
    CJobResult result;
    ASSERT_TRUE(ReadJobResult("Z Windows", result));
    EXPECT_EQ(result.GetText(), "odrzucono: folder nie jest ścieżką bezwzględną");
}

TEST_F(ScannerEnd, TheServerLogsAScansEndWhenItEndsNotAtTheNextMinute) {
    AddDueJob("Krótka");
    m_server.HandleStopSignals();
    std::thread serving([this] { m_server.Run(m_scheduler.get()); });
    // Read without moving the file position the server writes at.
    auto written = [this] {
        char buf[4096];
        const ssize_t n = ::pread(fileno(m_log), buf, sizeof buf, 0);
        return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
    };
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) { // 3 s, whatever the minute
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ended =
            written().find("koniec \"Krótka\": skaner zakończył się kodem 0") != std::string::npos;
    }
    m_server.RequestStop();
    serving.join();
    EXPECT_TRUE(ended) << Log();
}
