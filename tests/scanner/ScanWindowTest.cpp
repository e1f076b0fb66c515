// The scanner's window over real scans: what it counts and lists, the stop
// button, and the three end modes.
#include "ScanWindow.h"
#include "Scanner.h"
#include "SignatureDb.h"
#include "TestApp.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

class ScanWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        char dir[] = "/tmp/vexwindowtestXXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_base = dir;
        m_sigs = MakeTestSignatures(m_base + "/signatures");
        m_cmd.m_strJobName = "Dom";
        m_cmd.m_strDirectory = m_base + "/tree";
        m_cmd.m_nFileSelection = 0;
        m_cmd.m_bReferenceCheck = false;
        m_cmd.m_nInfectionAction = kInfectMove;
        for (int i = 0; i < 20; ++i)
            Write("f" + std::to_string(i), "clean " + std::to_string(i));
    }
    void TearDown() override { fs::remove_all(m_base); }

    void Write(const std::string& rel, const std::string& content) {
        fs::create_directories(m_cmd.m_strDirectory);
        std::ofstream(m_cmd.m_strDirectory + "/" + rel) << content;
    }

    // Runs the scan on its own thread as vexscan does and lets the window
    // show it until the scan is over; the window is left as the end mode has
    // it.
    CScanResult ScanIn(CScanWindow& window, bool pressStop = false) {
        CScanner scanner(m_cmd, CScanPaths::ForJob(m_base + "/state", m_cmd.m_strJobName), m_sigs);
        scanner.m_report = [](const std::string&) {};
        scanner.m_pProgress = &window;
        window.SetStopHandler([&] { scanner.RequestStop(); });
        window.show();
        CScanResult result;
        std::thread scan([&] {
            result = scanner.Run();
            window.ScanFinished(result);
        });
        if (pressStop)
            QTest::mouseClick(window.StopButton(), Qt::LeftButton);
        for (int i = 0; i < 1000 && !window.IsScanFinished(); ++i)
            QTest::qWait(10);
        scan.join();
        QCoreApplication::processEvents();
        return result;
    }

    std::string m_base, m_sigs;
    CScanCommand m_cmd;
};

TEST_F(ScanWindowTest, ShowsCountsAndFindingsAndStaysOpenInEndMode0) {
    Write("virus.bin", kHashVirus);
    CScanWindow window("Dom", 0);
    EXPECT_EQ(window.windowTitle(), "Vex: Dom");
    EXPECT_EQ(window.ProgressBar()->maximum(), 0); // busy until the walk has counted
    EXPECT_FALSE(window.CloseButton()->isEnabled());
    CScanResult r = ScanIn(window);
    EXPECT_EQ(r.m_nInfected, 1u);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.CountsText(), "Pliki: 21   Zainfekowane: 1   Zmienione: 0   Błędy: 0");
    EXPECT_EQ(window.ProgressBar()->maximum(), 21);
    EXPECT_EQ(window.ProgressBar()->value(), 21);
    ASSERT_EQ(window.Findings()->topLevelItemCount(), 1);
    QTreeWidgetItem* item = window.Findings()->topLevelItem(0);
    EXPECT_EQ(item->text(0).toStdString(), m_cmd.m_strDirectory + "/virus.bin");
    EXPECT_TRUE(item->text(1).startsWith("zainfekowany (Vex.Test.Hash-1"))
        << item->text(1).toStdString();
    EXPECT_TRUE(item->text(2).startsWith("przeniesiony do ")) << item->text(2).toStdString();
    EXPECT_FALSE(window.StopButton()->isEnabled());
    ASSERT_TRUE(window.CloseButton()->isEnabled());
    QTest::mouseClick(window.CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(ScanWindowTest, AFindingOnlyLoggedSaysSoInItsActionColumn) {
    Write("virus.bin", kHashVirus);
    m_cmd.m_nInfectionAction = kInfectLog;
    CScanWindow window("Dom", 0);
    ScanIn(window);
    ASSERT_EQ(window.Findings()->topLevelItemCount(), 1);
    EXPECT_EQ(window.Findings()->topLevelItem(0)->text(2), QString("tylko protokół"));
}

TEST_F(ScanWindowTest, EndMode1StaysOnlyWhenSomethingWasFoundAndEndMode2Closes) {
    {
        CScanWindow window("Dom", 1);
        ScanIn(window);
        EXPECT_FALSE(window.isVisible()); // clean: nothing to look at
    }
    Write("virus.bin", kHashVirus);
    {
        CScanWindow window("Dom", 1);
        ScanIn(window);
        EXPECT_TRUE(window.isVisible());
    }
    Write("virus.bin", kHashVirus);
    {
        CScanWindow window("Dom", 2);
        EXPECT_EQ(ScanIn(window).m_nInfected, 1u);
        EXPECT_FALSE(window.isVisible());
    }
}

TEST_F(ScanWindowTest, StopButtonEndsTheScanCleanly) {
    for (int i = 0; i < 3000; ++i)
        Write("g" + std::to_string(i), std::string(2048, 'x'));
    CScanWindow window("Dom", 0);
    CScanResult r = ScanIn(window, true);
    EXPECT_TRUE(r.m_bStoppedByUser);
    EXPECT_LT(r.m_nFiles, 3020u);
    EXPECT_EQ(window.StateText(), "Analiza zatrzymana przez użytkownika.");
    // The bar shows how far the scan came, not a full run.
    EXPECT_LT(window.ProgressBar()->value(), window.ProgressBar()->maximum());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.CloseButton()->isEnabled());
}

TEST_F(ScanWindowTest, ResultIsHandedOnWhenTheScanEndsNotWhenTheWindowCloses) {
    Write("virus.bin", kHashVirus);
    CScanner scanner(m_cmd, CScanPaths::ForJob(m_base + "/state", m_cmd.m_strJobName), m_sigs);
    scanner.m_report = [](const std::string&) {};
    std::atomic<bool> handed{false};
    CScanResult seen;
    bool openWhenHanded = false;
    // The user closes the window (end mode 0 keeps it) once the result is out.
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!handed)
            return;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<CScanWindow*>(w); window && window->isVisible()) {
                openWhenHanded = true;
                window->close();
            }
    });
    user.start(20);
    QTimer::singleShot(20000, [] { QApplication::exit(1); }); // never hangs the suite
    const CScanResult result = RunScanInWindow(scanner.Task(), "Dom", 0, [&](const CScanResult& r) {
        seen = r;
        handed = true;
    });
    EXPECT_TRUE(handed);
    EXPECT_TRUE(openWhenHanded);
    EXPECT_EQ(seen.m_nInfected, 1u);
    EXPECT_EQ(result.m_nInfected, 1u);
}

} // namespace

// The bar and the counts give the same number of files; those left out as
// not program files are among them, said apart.
TEST_F(ScanWindowTest, TheBarAndTheCountsCountTheSameFiles) {
    m_cmd.m_nFileSelection = 1;
    CScanWindow window("Dom", 0);
    ScanIn(window);
    EXPECT_EQ(window.ProgressBar()->text(), "20 z 20 plików");
    EXPECT_EQ(window.CountsText(),
              "Pliki: 20   Zainfekowane: 0   Zmienione: 0   Błędy: 0   Pominięte: 20");
}
