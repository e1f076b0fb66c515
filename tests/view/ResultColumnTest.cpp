// The job list's result column and the log viewer it leads to.
#include "ViewFixture.h"

#include "JobResult.h"
#include "LogViewDlg.h"
#include "ResourceIds.h"
#include "RunningScan.h"
#include "ScanLock.h"
#include "ScanPaths.h"
#include "Settings.h"

#include <QAction>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kSettingsKey = "Software\\Kestrow\\Rampart 8\\Tempora";

class ResultColumnTest : public ViewFixture {
protected:
    static CJobResult Result(std::int64_t finished, std::uint64_t infected = 0,
                             std::uint64_t changed = 0, bool stopped = false, bool failed = false) {
        CJobResult r;
        r.m_nFinished = finished;
        r.m_nInfected = infected;
        r.m_nChanged = changed;
        r.m_bStopped = stopped;
        r.m_bFailed = failed;
        r.m_nExitCode = failed ? 2 : (infected || changed ? 1 : 0);
        return r;
    }
    QString ResultCell(const char* name) const {
        return Cell(m_view->FindJobRow(name), CVigilView::ColResult);
    }
    // Writes a log for the job below the state root, as the scanner does.
    std::string WriteLog(const char* name, const std::string& text) {
        const std::string log = CScanPaths::ForJob(m_root.Path(), name).m_strLog;
        std::filesystem::create_directories(std::filesystem::path(log).parent_path());
        std::ofstream(log, std::ios::binary) << text;
        return log;
    }
    // Runs the log command and hands the viewer it opens to inspect.
    bool ShowLog(const std::function<void(CLogViewDlg&)>& inspect) {
        bool shown = false;
        ScopedModalHook hook([&](QDialog& dialog) {
            auto* viewer = qobject_cast<CLogViewDlg*>(&dialog);
            EXPECT_NE(viewer, nullptr);
            if (viewer != nullptr) {
                shown = true;
                inspect(*viewer);
            }
            return IDCANCEL;
        });
        return m_commands->Execute(res::ID_JOB_SHOW_LOG) && shown;
    }
};

} // namespace

TEST_F(ResultColumnTest, TextsSortBySeverityThenTimeAndTheWidthIsKept) {
    const char* names[] = {"never",  "clean-new", "clean-old", "stopped",     "changed",
                           "failed", "unstarted", "infected",  "infected-old"};
    for (const char* name : names)
        Store(*MakeJob(name, 13, 0));
    ASSERT_TRUE(WriteJobResult("clean-new", Result(2000)));
    ASSERT_TRUE(WriteJobResult("clean-old", Result(1000)));
    ASSERT_TRUE(WriteJobResult("stopped", Result(1000, 0, 0, true)));
    ASSERT_TRUE(WriteJobResult("changed", Result(1000, 0, 4)));
    ASSERT_TRUE(WriteJobResult("failed", Result(1000, 0, 0, false, true)));
    ASSERT_TRUE(WriteJobResult("unstarted", CJobResult::NotStarted(1000)));
    ASSERT_TRUE(WriteJobResult("infected", Result(3000, 2)));
    ASSERT_TRUE(WriteJobResult("infected-old", Result(500, 7)));
    OpenView();

    EXPECT_EQ(ResultCell("never"), "");
    EXPECT_EQ(ResultCell("clean-new"), "czysto");
    EXPECT_EQ(ResultCell("stopped"), "zatrzymano");
    EXPECT_EQ(ResultCell("changed"), "zmiany: 4");
    EXPECT_EQ(ResultCell("failed"), QString::fromUtf8("błąd"));
    EXPECT_EQ(ResultCell("unstarted"), "nie uruchomiono");
    EXPECT_EQ(ResultCell("infected"), "infekcje: 2");

    m_view->OnColumnClick(CVigilView::ColResult);
    const std::vector<std::string> ascending = {"never",     "clean-old",    "clean-new",
                                                "stopped",   "changed",      "failed",
                                                "unstarted", "infected-old", "infected"};
    EXPECT_EQ(RowNames(), ascending);
    EXPECT_EQ(m_view->GetSortMarkColumn(), CVigilView::ColResult);
    m_view->OnColumnClick(CVigilView::ColResult);
    EXPECT_EQ(RowNames(), std::vector<std::string>(ascending.rbegin(), ascending.rend()));

    // A result that arrives later shows after the refresh its signal causes.
    ASSERT_TRUE(WriteJobResult("never", Result(4000, 0, 1)));
    EXPECT_TRUE(m_commands->Execute(res::ID_VIEW_REFRESH));
    EXPECT_EQ(ResultCell("never"), "zmiany: 1");

    m_view->horizontalHeader()->resizeSection(CVigilView::ColResult, 137);
    m_view->SaveSettings();
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kSettingsKey, "Wynik", 0), 137u);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kSettingsKey, "SortCol", 0), 5u);
    CVigilView again(m_doc.get(), nullptr);
    EXPECT_EQ(again.horizontalHeader()->sectionSize(CVigilView::ColResult), 137);
}

TEST_F(ResultColumnTest, RenameAndDeleteInTheWindowCarryTheResult) {
    Store(*MakeJob("Dom", 13, 0));
    Store(*MakeJob("Praca", 13, 0));
    ASSERT_TRUE(WriteJobResult("Dom", Result(1000, 3)));
    ASSERT_TRUE(WriteJobResult("Praca", Result(1000)));
    OpenView();
    CJob job;
    ASSERT_TRUE(m_raw.ReadJob("Dom", &job));
    job.SetName("Dom i ogród");
    ASSERT_TRUE(m_doc->GetStore().WriteJob(job, 3, "Dom"));
    EXPECT_TRUE(m_commands->Execute(res::ID_VIEW_REFRESH));
    EXPECT_EQ(ResultCell("Dom i ogród"), "infekcje: 3");

    m_view->selectRow(m_view->FindJobRow("Praca"));
    m_answers.push_back(IDYES);
    ASSERT_TRUE(m_commands->Execute(res::ID_JOB_DELETE));
    CJobResult gone;
    EXPECT_FALSE(ReadJobResult("Praca", gone));
}

TEST_F(ResultColumnTest, RenameInTheDialogKeepsTheHistoryAndANewJobOfADeletedNameHasNone) {
    Store(*MakeJob("Dom", 13, 0));
    ASSERT_TRUE(WriteJobResult("Dom", Result(1000, 2)));
    WriteLog("Dom", "==== 2026-12-08T08:00:00+01:00 vexscan Dom\n");
    OpenView();
    m_view->selectRow(m_view->FindJobRow("Dom"));
    {
        // The user types the new name into the job dialog and confirms.
        ScopedModalHook hook([](QDialog& dialog) {
            auto* name = dialog.findChild<QLineEdit*>();
            EXPECT_NE(name, nullptr);
            if (name != nullptr)
                name->setText(QString::fromUtf8("Dom i ogród"));
            dialog.accept();
            return dialog.result();
        });
        ASSERT_TRUE(m_commands->Execute(res::ID_JOB_EDIT));
    }
    EXPECT_EQ(ResultCell("Dom i ogród"), "infekcje: 2");
    ASSERT_TRUE(ShowLog([&](CLogViewDlg& viewer) {
        EXPECT_TRUE(viewer.TextView()->toPlainText().startsWith("==== 2026"));
    }));

    // Deleted, and a new job takes the name: it has no history.
    m_answers.push_back(IDYES);
    ASSERT_TRUE(m_commands->Execute(res::ID_JOB_DELETE));
    auto fresh = MakeJob("Dom i ogród", 14, 0);
    ASSERT_TRUE(m_doc->GetStore().AddJob(*fresh));
    m_view->selectRow(0);
    ASSERT_TRUE(ShowLog([](CLogViewDlg& viewer) {
        EXPECT_EQ(viewer.TextView()->toPlainText(),
                  QString::fromUtf8("Ta analiza nie ma jeszcze protokołu."));
    }));
}

// A process holding the job's lock file as its descriptor 3 and named in it,
// as a scanner does: the row says the scan runs, and the context menu's stop
// signals that process.
TEST_F(ResultColumnTest, ARunningScanShowsAsRunningAndTheMenuStopsIt) {
    Store(*MakeJob("Dom", 13, 0));
    ASSERT_TRUE(WriteJobResult("Dom", Result(1000)));
    CScanLock lock("Dom");
    ASSERT_TRUE(lock.TryLock());
    const pid_t scanner = ::fork();
    if (scanner == 0) {
        ::dup2(lock.Descriptor(), 3);
        ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(scanner, 0);
    const std::string record = FormatScanProgress({"Dom", static_cast<int>(scanner), 1, 12});
    ASSERT_EQ(::pwrite(lock.Descriptor(), record.data(), record.size(), 0),
              static_cast<ssize_t>(record.size()));
    CRunningScan scan;
    for (int i = 0; i < 200 && !FindRunningScan("Dom", scan); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    OpenView();
    EXPECT_EQ(ResultCell("Dom"), QString::fromUtf8("trwa…"));

    m_view->selectRow(m_view->FindJobRow("Dom"));
    EXPECT_TRUE(m_commands->Execute(res::ID_JOB_STOP));
    int status = 0;
    ASSERT_EQ(::waitpid(scanner, &status, 0), scanner);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_TRUE(m_commands->Execute(res::ID_VIEW_REFRESH));
    EXPECT_EQ(ResultCell("Dom"), "czysto");
}

TEST_F(ResultColumnTest, LogCommandOpensTheJobsLogAtItsNewestRun) {
    Store(*MakeJob("Dom", 13, 0));
    Store(*MakeJob("Praca", 13, 0));
    OpenView();
    QAction* show = m_commands->Action(res::ID_JOB_SHOW_LOG);
    m_commands->UpdateAll();
    EXPECT_FALSE(show->isEnabled());

    std::string text;
    for (int run = 1; run <= 60; ++run)
        text += "==== 2026-12-0" + std::to_string(run % 9 + 1) + "T08:00:00+01:00 vexscan Dom\n" +
                "/home/plik" + std::to_string(run) + ": ok\n";
    // An older scanner left a line separator unescaped: it is shown escaped.
    text += "/home/a\xe2\x80\xa8"
            "b: ok\n";
    std::string shown = text;
    shown.replace(shown.find("\xe2\x80\xa8"), 3, "\\u2028");
    // A summary line wider than the viewer's least width, narrower than the screen.
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int screenWidth = QGuiApplication::primaryScreen()->availableGeometry().width();
    std::string summary = "2026-12-08 08:00:03 Dom: /home: plików 60, zainfekowanych 0";
    while (fixed.horizontalAdvance(QString::fromStdString(summary)) <= 720)
        summary += '.';
    ASSERT_LT(fixed.horizontalAdvance(QString::fromStdString(summary)), screenWidth - 60);
    text += summary + "\n";
    shown += summary + "\n";
    const std::string log = WriteLog("Dom", text);
    WriteLog("Praca", "inny protokół\n");

    m_view->selectRow(m_view->FindJobRow("dom") /* as the row finds it */);
    m_commands->UpdateAll();
    EXPECT_TRUE(show->isEnabled());
    ASSERT_TRUE(ShowLog([&](CLogViewDlg& viewer) {
        EXPECT_EQ(viewer.LogPath().toStdString(), log);
        EXPECT_EQ(viewer.windowTitle(), QString::fromUtf8("Protokół analizy „Dom”"));
        QPlainTextEdit* view = viewer.TextView();
        EXPECT_TRUE(view->isReadOnly());
        EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());
        EXPECT_EQ(view->toPlainText().toStdString(), shown);
        // Scrolled to the newest run, at the bottom.
        QScrollBar* bar = view->verticalScrollBar();
        EXPECT_GT(bar->maximum(), 0);
        EXPECT_EQ(bar->value(), bar->maximum());
        EXPECT_EQ(viewer.CloseButton()->text(), "Zamknij");
        // The longest line fits without scrolling sideways, within the screen.
        EXPECT_LE(viewer.width(), viewer.screen()->availableGeometry().width());
        EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0) << viewer.width();
        viewer.CloseButton()->click();
        EXPECT_EQ(viewer.result(), QDialog::Rejected);
    }));

    // Two selected rows: which log would it be? The command waits for one.
    m_view->selectAll();
    m_commands->UpdateAll();
    EXPECT_FALSE(show->isEnabled());
}

TEST_F(ResultColumnTest, ViewerShowsAMissingLogAndTheNewestPartOfAHugeOne) {
    Store(*MakeJob("Dom", 13, 0));
    OpenView();
    m_view->selectRow(0);
    ASSERT_TRUE(ShowLog([](CLogViewDlg& viewer) {
        EXPECT_EQ(viewer.TextView()->toPlainText(),
                  QString::fromUtf8("Ta analiza nie ma jeszcze protokołu."));
    }));

    const std::string line(99, 'x');
    std::string huge;
    for (size_t i = 0; huge.size() <= CLogViewDlg::kMaxBytes; ++i)
        huge += line.substr(0, 90) + std::to_string(1000000 + i) + "\n";
    huge += "==== 2026-12-08T08:00:00+01:00 vexscan Dom\nnewest\n";
    WriteLog("Dom", huge);
    ASSERT_TRUE(ShowLog([&](CLogViewDlg& viewer) {
        const QString shown = viewer.TextView()->toPlainText();
        EXPECT_TRUE(shown.startsWith(QString::fromUtf8("(wcześniejsze wiersze protokołu "
                                                       "pominięto)\nxxx")));
        EXPECT_TRUE(shown.endsWith("vexscan Dom\nnewest\n"));
        EXPECT_LE(static_cast<size_t>(shown.size()), CLogViewDlg::kMaxBytes + 100);
    }));
}
