#include "Clipboard.h"
#include "ResourceIds.h"
#include "Settings.h"
#include "StringTable.h"
#include "ViewFixture.h"

#include <QAction>
#include <QClipboard>
#include <QInputDevice>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <initializer_list>

namespace {
using Names = std::vector<std::string>;

// The fixture's application object is a function-level static, destroyed at
// exit after Qt's own statics; the input devices that the key tests create
// would crash then. They go while everything is still there.
class CInputDeviceCleanup : public ::testing::Environment {
public:
    void TearDown() override {
        if (QCoreApplication::instance() == nullptr)
            return;
        for (QInputDevice* device : QCoreApplication::instance()->findChildren<QInputDevice*>())
            delete device;
    }
};
const auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new CInputDeviceCleanup);

class JobCommands : public ViewFixture {
protected:
    void SetUp() override {
        ViewFixture::SetUp();
        QGuiApplication::clipboard()->clear();
    }

    // Jobs that started at 9:00 on the given days of December, oldest first.
    void StoreStarted(std::initializer_list<std::pair<const char*, int>> jobs) {
        for (auto [name, day] : jobs) {
            std::unique_ptr<CJob> job = MakeJob(name, 13, 30);
            job->SetLastStart(COleDateTime(kYear, kMonth, day, 9, 0, 0), true);
            Store(*job);
        }
    }

    void Select(std::initializer_list<const char*> names) {
        m_view->clearSelection();
        for (const char* name : names) {
            const int row = m_view->FindJobRow(name);
            ASSERT_GE(row, 0) << name;
            m_view->selectionModel()->select(m_view->model()->index(row, 0),
                                             QItemSelectionModel::Select |
                                                 QItemSelectionModel::Rows);
        }
    }

    bool Enabled(unsigned id) const { return m_commands->Query(id).m_bEnabled; }

    // Puts the view into its window, shown and focused, so that the command
    // keys reach it as they would in the program.
    void ShowInWindow() {
        // The main frame makes every command's action for its menus.
        for (unsigned id : {res::ID_EDIT_CUT, res::ID_EDIT_COPY, res::ID_EDIT_PASTE,
                            res::ID_JOB_DELETE, res::ID_JOB_EDIT})
            m_commands->Action(id);
        m_view->setParent(m_window.get());
        m_window->resize(800, 400);
        m_view->resize(800, 400);
        m_window->show();
        m_window->activateWindow();
        QApplication::setActiveWindow(m_window.get());
        m_view->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }

    Names SortedRowNames() const {
        Names names = RowNames();
        std::sort(names.begin(), names.end());
        return names;
    }
};

const unsigned kSelectionCommands[] = {res::ID_JOB_EDIT, res::ID_JOB_DELETE, res::ID_JOB_RUN_NOW,
                                       res::ID_EDIT_COPY, res::ID_EDIT_CUT};
} // namespace

TEST_F(JobCommands, SelectionCommandsNeedASelectedRow) {
    StoreStarted({{"A", 1}, {"B", 2}, {"C", 3}});
    OpenView();
    for (unsigned id : kSelectionCommands)
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(res::ID_JOB_NEW));
    EXPECT_TRUE(Enabled(res::ID_VIEW_REFRESH));

    Select({"B"});
    for (unsigned id : kSelectionCommands)
        EXPECT_TRUE(Enabled(id)) << id;
    Select({"A", "C"});
    for (unsigned id : kSelectionCommands)
        EXPECT_TRUE(Enabled(id)) << id;

    // A disabled command is not carried out.
    m_view->clearSelection();
    EXPECT_FALSE(m_commands->Execute(res::ID_JOB_DELETE));
    EXPECT_FALSE(m_commands->Execute(res::ID_EDIT_CUT));
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(SortedRowNames(), (Names{"A", "B", "C"}));
}

TEST_F(JobCommands, PasteIsEnabledOnlyWhileTheClipboardOffersJobs) {
    StoreStarted({{"A", 1}});
    OpenView();
    QAction* paste = m_commands->Action(res::ID_EDIT_PASTE);
    EXPECT_FALSE(Enabled(res::ID_EDIT_PASTE));

    Select({"A"});
    ASSERT_TRUE(m_commands->Execute(res::ID_EDIT_COPY));
    EXPECT_TRUE(Enabled(res::ID_EDIT_PASTE));
    EXPECT_TRUE(paste->isEnabled());

    // Another program puts text on the clipboard: paste greys out at once.
    QGuiApplication::clipboard()->setText("nie zadanie");
    EXPECT_FALSE(paste->isEnabled());
    EXPECT_FALSE(Enabled(res::ID_EDIT_PASTE));
}

TEST_F(JobCommands, EmptyListContextMenuGreysPasteUntilJobsAreCopied) {
    StoreStarted({{"A", 1}});
    OpenView();
    auto pasteEntry = [this] {
        std::unique_ptr<QMenu> menu = m_view->CreateContextMenu();
        const QList<QAction*> actions = menu->actions();
        EXPECT_EQ(actions.size(), 2);
        return actions.size() == 2 ? actions[1]->isEnabled() : true;
    };
    EXPECT_FALSE(pasteEntry());
    Select({"A"});
    ASSERT_TRUE(m_commands->Execute(res::ID_EDIT_COPY));
    m_view->clearSelection();
    EXPECT_TRUE(pasteEntry());
}

TEST_F(JobCommands, DeleteAsksFirstAndNoKeepsEverything) {
    StoreStarted({{"A", 1}, {"B", 2}, {"C", 3}});
    OpenView();

    Select({"A", "C"});
    m_answers = {IDNO};
    ASSERT_TRUE(m_commands->Execute(res::ID_JOB_DELETE));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].id, 163u);
    EXPECT_EQ(m_messages[0].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(SortedRowNames(), (Names{"A", "B", "C"}));
    EXPECT_TRUE(m_raw.ReadJob("A", nullptr) && m_raw.ReadJob("C", nullptr));

    Select({"B"});
    m_answers = {IDNO};
    ASSERT_TRUE(m_commands->Execute(res::ID_JOB_DELETE));
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[1].id, 164u);
    EXPECT_STREQ(LoadResString(163), LoadResString(164));
}

TEST_F(JobCommands, DeleteWithYesRemovesEverySelectedJob) {
    StoreStarted({{"A", 1}, {"B", 2}, {"C", 3}, {"D", 4}});
    OpenView();
    Select({"A", "B", "D"});
    m_answers = {IDYES};
    ASSERT_TRUE(m_commands->Execute(res::ID_JOB_DELETE));
    EXPECT_EQ(RowNames(), Names{"C"});
    EXPECT_FALSE(m_raw.ReadJob("A", nullptr));
    EXPECT_FALSE(m_raw.ReadJob("D", nullptr));
    EXPECT_TRUE(m_raw.ReadJob("C", nullptr));
    EXPECT_EQ(m_messages.size(), 1u); // only the question
}

TEST_F(JobCommands, RunNowStartsEachSelectedJobOnceWhileSortedByLastStart) {
    StoreStarted({{"A", 1}, {"B", 2}, {"C", 3}, {"D", 4}});
    QTemporaryDir logs;
    ASSERT_TRUE(logs.isValid());
    const std::string log = logs.filePath("starts.log").toStdString();
    setenv("VEX_START_LOG", log.c_str(), 1);
    RegSetString(HKEY_LOCAL_MACHINE, LoadResString(141), "vexexe", START_RECORDER);
    OpenView();
    while (m_view->GetSortColumn() != CVigilView::ColLastStart || !m_view->IsSortAscending())
        m_view->OnColumnClick(CVigilView::ColLastStart);
    ASSERT_EQ(RowNames(), (Names{"A", "B", "C", "D"}));

    // Every run moves its job to the end of the list.
    Select({"A", "B", "C"});
    ASSERT_TRUE(m_commands->Execute(res::ID_JOB_RUN_NOW));
    EXPECT_EQ(RowNames().front(), "D");

    // The scanner runs on its own; give it a few seconds to record.
    auto readStarts = [&log] {
        Names starts;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);)
            starts.push_back(line);
        std::sort(starts.begin(), starts.end());
        return starts;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (readStarts().size() < 3 && std::chrono::steady_clock::now() < deadline)
        QThread::msleep(20);
    QThread::msleep(200); // a fourth start would show up by now
    EXPECT_EQ(readStarts(), (Names{"A", "B", "C"}));

    unsetenv("VEX_START_LOG");

    CJob job;
    ASSERT_TRUE(m_raw.ReadJob("B", &job));
    EXPECT_TRUE(job.HasLastStart());
    EXPECT_EQ(job.GetLastStart(), COleDateTime(kYear, kMonth, kDay, 12, 0, 0));
    const int row = m_view->FindJobRow("B");
    EXPECT_EQ(Cell(row, CVigilView::ColLastStart), QString::fromUtf8(job.GetLastStartText()));
    ASSERT_TRUE(m_raw.ReadJob("D", &job));
    EXPECT_EQ(job.GetLastStart(), COleDateTime(kYear, kMonth, 4, 9, 0, 0));

    // The full run asks the scanner to read every file.
    setenv("VEX_START_LOG", log.c_str(), 1);
    Select({"D"});
    ASSERT_TRUE(m_commands->Execute(res::ID_JOB_RUN_FULL));
    const auto later = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (readStarts().size() < 4 && std::chrono::steady_clock::now() < later)
        QThread::msleep(20);
    EXPECT_EQ(readStarts(), (Names{"A", "B", "C", "D (full)"}));
    unsetenv("VEX_START_LOG");
}

TEST_F(JobCommands, RunNowWithoutScannerStillStampsTheStart) {
    StoreStarted({{"A", 1}});
    OpenView();
    Select({"A"});
    ASSERT_TRUE(m_commands->Execute(res::ID_JOB_RUN_NOW));
    CJob job;
    ASSERT_TRUE(m_raw.ReadJob("A", &job));
    EXPECT_EQ(job.GetLastStart(), COleDateTime(kYear, kMonth, kDay, 12, 0, 0));
    // The failed start is the job's last result, in the list at once.
    EXPECT_EQ(Cell(m_view->FindJobRow("A"), CVigilView::ColResult), "nie uruchomiono");
}

TEST_F(JobCommands, CopyAndPasteDuplicateCutAndPasteRestore) {
    StoreStarted({{"A", 1}, {"B", 2}});
    OpenView();
    Select({"A", "B"});
    ASSERT_TRUE(m_commands->Execute(res::ID_EDIT_COPY));
    m_view->clearSelection();
    ASSERT_TRUE(m_commands->Execute(res::ID_EDIT_PASTE));
    EXPECT_EQ(SortedRowNames(), (Names{"A", "B", "KopiaA", "KopiaB"}));
    EXPECT_EQ(Cell(m_view->FindJobRow("KopiaA"), CVigilView::ColLastStart), "");

    Select({"KopiaA", "KopiaB"});
    ASSERT_TRUE(m_commands->Execute(res::ID_EDIT_CUT));
    EXPECT_EQ(SortedRowNames(), (Names{"A", "B"}));
    ASSERT_TRUE(m_commands->Execute(res::ID_EDIT_PASTE));
    EXPECT_EQ(SortedRowNames(), (Names{"A", "B", "KopiaA", "KopiaB"}));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(JobCommands, EditingKeysReachTheCommands) {
    StoreStarted({{"A", 1}, {"B", 2}});
    OpenView();
    ShowInWindow();

    Select({"A"});
    QTest::keyClick(m_view.get(), Qt::Key_Insert, Qt::ControlModifier); // copy
    EXPECT_TRUE(CJobClipboard::CanPaste());
    m_view->clearSelection();
    QTest::keyClick(m_view.get(), Qt::Key_Insert, Qt::ShiftModifier); // paste
    EXPECT_EQ(SortedRowNames(), (Names{"A", "B", "KopiaA"}));

    Select({"B"});
    QTest::keyClick(m_view.get(), Qt::Key_Delete, Qt::ShiftModifier); // cut
    EXPECT_EQ(SortedRowNames(), (Names{"A", "KopiaA"}));
    QTest::keyClick(m_view.get(), Qt::Key_V, Qt::ControlModifier); // paste
    EXPECT_EQ(SortedRowNames(), (Names{"A", "B", "KopiaA"}));

    Select({"KopiaA"});
    m_answers = {IDYES};
    QTest::keyClick(m_view.get(), Qt::Key_Delete); // delete, after the question
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].id, 164u);
    EXPECT_EQ(SortedRowNames(), (Names{"A", "B"}));

    Select({"A"});
    QTest::keyClick(m_view.get(), Qt::Key_X, Qt::ControlModifier); // cut
    // Copy with nothing selected does nothing: the cut job stays on the clipboard.
    QTest::keyClick(m_view.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(CJobClipboard::CanPaste());
    EXPECT_EQ(SortedRowNames(), Names{"B"});
    QTest::keyClick(m_view.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(SortedRowNames(), (Names{"A", "B"}));
}

TEST_F(JobCommands, CtrlEOpensTheSelectedJobForEditing) {
    StoreStarted({{"A", 1}, {"B", 2}});
    OpenView();
    ShowInWindow();
    Select({"B"});
    QString shown;
    QString title;
    {
        ScopedModalHook hook([&](QDialog& dialog) {
            shown = QString::fromLatin1(dialog.metaObject()->className());
            title = dialog.windowTitle();
            return IDCANCEL;
        });
        QTest::keyClick(m_view.get(), Qt::Key_E, Qt::ControlModifier);
    }
    EXPECT_EQ(shown, "CJobDialog");
    EXPECT_FALSE(title.isEmpty());
}

// Enter on the selected row and a double click on a row open that job's
// dialog, as Ctrl+E does.
TEST_F(JobCommands, EnterAndDoubleClickOpenTheRowsJob) {
    StoreStarted({{"A", 1}, {"B", 2}});
    OpenView();
    ShowInWindow();
    std::vector<QString> opened;
    ScopedModalHook hook([&](QDialog& dialog) {
        for (const QLineEdit* edit : dialog.findChildren<QLineEdit*>())
            if (edit->text() == "A" || edit->text() == "B")
                opened.push_back(edit->text());
        return IDCANCEL;
    });
    const int rowB = m_view->FindJobRow("B");
    m_view->setCurrentIndex(m_view->model()->index(rowB, 1));
    QTest::keyClick(m_view.get(), Qt::Key_Return);
    ASSERT_EQ(opened, std::vector<QString>{"B"});

    const QModelIndex cellA = m_view->model()->index(m_view->FindJobRow("A"), 2);
    const QPoint pos = m_view->visualRect(cellA).center();
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, pos);
    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, pos);
    EXPECT_EQ(opened, (std::vector<QString>{"B", "A"}));
}

// A re-sort that moves the selected row far down keeps it in sight.
TEST_F(JobCommands, SelectedRowStaysInViewAfterAResort) {
    for (int i = 0; i < 40; ++i) {
        const std::string name = "Job" + std::to_string(100 + i);
        Store(*MakeJob(name.c_str(), 13, 0));
    }
    OpenView();
    ShowInWindow();
    m_view->resize(600, 150);
    Select({"Job100"}); // the first row, in sight
    m_view->setCurrentIndex(m_view->model()->index(m_view->FindJobRow("Job100"), 0));
    m_view->OnColumnClick(CVigilView::ColName); // descending: now the last row
    const int row = m_view->FindJobRow("Job100");
    ASSERT_EQ(row, 39);
    EXPECT_TRUE(
        m_view->visualRect(m_view->model()->index(row, 0)).intersects(m_view->viewport()->rect()));
}
