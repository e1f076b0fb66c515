#include "MainFrame.h"
#include "CommandLayer.h"
#include "InfoDlg.h"
#include "ResourceIds.h"
#include "SignatureDb.h"
#include "SignatureInfo.h"
#include "SignaturePane.h"
#include "TempStateRoot.h"
#include "TestApp.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

// Readable failure output for Qt strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        ASSERT_TRUE(m_root.IsValid());
    }
    CTempStateRoot m_root;
};

// Texts of a menu's items, separators as "-".
QStringList MenuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QMenu* MenuAt(CMainFrame& frame, int index) {
    return frame.menuBar()->actions().at(index)->menu();
}
} // namespace

TEST_F(MainFrameTest, TitleIsTheApplicationTitleAlone) {
    CMainFrame frame;
    EXPECT_EQ(frame.windowTitle(), QString::fromUtf8("Ustawienia periodyczne Vex"));
}

TEST_F(MainFrameTest, MenuBarHasTheFourMenusWithTheirEntries) {
    CMainFrame frame;
    QStringList titles;
    for (QAction* a : frame.menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&Analiza", "&Edycja", "&Widok", "&?"}));

    EXPECT_EQ(
        MenuTexts(MenuAt(frame, 0)),
        (QStringList{"&Nowa...\tCtrl+N", "Zamień...\tCtrl+E", "-", "Teraz uruchom",
                     QString::fromUtf8("Pełna analiza teraz"), QString::fromUtf8("Pokaż &protokół"),
                     "&Kwarantanna...", "-", "&Importuj...", "&Eksportuj...", "-", "Konie&c"}));
    EXPECT_EQ(MenuTexts(MenuAt(frame, 1)), (QStringList{"&Wytnij\tCtrl+X", "&Kopiuj\tCtrl+C",
                                                        "&Przesuń\tCtrl+V", "-", "&Usuń\tDel"}));
    EXPECT_EQ(MenuTexts(MenuAt(frame, 2)), (QStringList{"&Aktualizacja\tF5", "-", "&Działanie", "-",
                                                        "Pasek &symboli", "Pasek s&tatusu"}));
    EXPECT_EQ(MenuTexts(MenuAt(frame, 3)), (QStringList{"Inf&ormacje o Vex Tempora...",
                                                        QString::fromUtf8("&Zawartość i treść")}));
}

// A menu item shows its text as the menus give it: the keys of a command
// whose text names none stay off the item (and still work), and the tool
// bar's own menu names the bar.
TEST_F(MainFrameTest, MenuItemsShowTheirTextsAloneAndTheToolBarHasItsTitle) {
    CMainFrame frame;
    int aliases = 0;
    for (int menu = 0; menu < 4; ++menu)
        for (QAction* a : MenuAt(frame, menu)->actions()) {
            if (a->isSeparator() || a->text().contains('\t'))
                continue;
            EXPECT_TRUE(a->shortcuts().isEmpty()) << a->text().toStdString();
            ++aliases;
        }
    EXPECT_GT(aliases, 2);
    EXPECT_EQ(frame.Commands().Action(res::ID_FILE_OPEN)->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(frame.ToolBar()->windowTitle(), QString("Pasek symboli"));
    EXPECT_EQ(frame.ToolBar()->toggleViewAction()->text(), QString("Pasek symboli"));
}

TEST_F(MainFrameTest, ActionsCarryShortcutsPromptsAndToolTips) {
    CMainFrame frame;
    CCommandLayer& cmd = frame.Commands();
    EXPECT_EQ(cmd.Action(res::ID_JOB_NEW)->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(cmd.Action(res::ID_JOB_EDIT)->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_EQ(cmd.Action(res::ID_VIEW_REFRESH)->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(cmd.Action(res::ID_JOB_DELETE)->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(cmd.Action(res::ID_FILE_OPEN)->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(cmd.Action(res::ID_FILE_SAVE)->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(cmd.Action(res::ID_HELP)->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(cmd.Action(res::ID_EDIT_CUT)->shortcuts(),
              (QList<QKeySequence>{QKeySequence("Ctrl+X"), QKeySequence("Shift+Del")}));
    EXPECT_EQ(cmd.Action(res::ID_EDIT_COPY)->shortcuts(),
              (QList<QKeySequence>{QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")}));
    EXPECT_EQ(cmd.Action(res::ID_EDIT_PASTE)->shortcuts(),
              (QList<QKeySequence>{QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")}));

    EXPECT_EQ(cmd.Action(res::ID_JOB_NEW)->statusTip(), QString("Dodaje ustawienia analizy."));
    EXPECT_EQ(cmd.Action(res::ID_JOB_NEW)->toolTip(), QString("Nowa"));
    EXPECT_EQ(cmd.Action(res::ID_VIEW_REFRESH)->statusTip(),
              QString::fromUtf8("Aktualizuję listę ustawień analiz."));

    // A prompt shows in the message pane while its item is pointed at.
    cmd.Action(res::ID_JOB_NEW)->showStatusText(&frame);
    EXPECT_EQ(frame.statusBar()->currentMessage(), QString("Dodaje ustawienia analizy."));
}

TEST_F(MainFrameTest, ToolBarHoldsTheButtonsInOrderWithGaps) {
    CMainFrame frame;
    QStringList tips;
    for (QAction* a : frame.ToolBar()->actions())
        tips << (a->isSeparator() ? QStringLiteral("-") : a->toolTip());
    EXPECT_EQ(tips,
              (QStringList{"Nowa", QString::fromUtf8("Zamień"), "-", QString::fromUtf8("Usuń"), "-",
                           "Wytnij", "Kopiuj", "Wstaw", "-", "Info"}));
    for (QAction* a : frame.ToolBar()->actions()) {
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->toolTip().toStdString();
        }
    }
    EXPECT_EQ(frame.ToolBar()->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_TRUE(frame.ToolBar()->isFloatable());
}

TEST_F(MainFrameTest, ButtonsWithoutHandlerAreDisabledAndGainStateFromHandlers) {
    CMainFrame frame;
    CCommandLayer& cmd = frame.Commands();
    cmd.UpdateAll();
    // Nothing owns these commands in a bare frame.
    EXPECT_FALSE(cmd.Action(res::ID_JOB_DELETE)->isEnabled());
    EXPECT_FALSE(cmd.Action(res::ID_APP_ABOUT)->isEnabled());
    EXPECT_FALSE(cmd.Action(res::ID_NEXT_PANE)->isEnabled());

    QObject owner;
    int runs = 0;
    bool allowed = false;
    cmd.SetHandler(res::ID_JOB_DELETE, &owner, [&] { ++runs; });
    EXPECT_TRUE(cmd.Action(res::ID_JOB_DELETE)->isEnabled());
    cmd.SetUpdateHandler(res::ID_JOB_DELETE, &owner, [&](CCmdUI& ui) { ui.Enable(allowed); });
    cmd.UpdateAll();
    EXPECT_FALSE(cmd.Action(res::ID_JOB_DELETE)->isEnabled());
    // A disabled command is not carried out, whatever route it comes by.
    EXPECT_FALSE(cmd.Execute(res::ID_JOB_DELETE));
    EXPECT_EQ(runs, 0);
    allowed = true;
    EXPECT_TRUE(cmd.Execute(res::ID_JOB_DELETE));
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(cmd.Action(res::ID_JOB_DELETE)->isEnabled());

    // Registrations end with their owner.
    {
        QObject shortLived;
        cmd.SetHandler(res::ID_APP_ABOUT, &shortLived, [] {});
        EXPECT_TRUE(cmd.HasHandler(res::ID_APP_ABOUT));
    }
    EXPECT_FALSE(cmd.HasHandler(res::ID_APP_ABOUT));
    cmd.UpdateAll();
    EXPECT_FALSE(cmd.Action(res::ID_APP_ABOUT)->isEnabled());
}

TEST_F(MainFrameTest, CheckStateFollowsUpdateHandlerOnMenuAndAliases) {
    CMainFrame frame;
    CCommandLayer& cmd = frame.Commands();
    QObject owner;
    int mode = 1;
    cmd.SetHandler(res::ID_VIEW_COUNTDOWN, &owner, [&] { mode = !mode; });
    cmd.SetUpdateHandler(res::ID_VIEW_COUNTDOWN, &owner, [&](CCmdUI& ui) { ui.SetCheck(mode); });
    QMenu context;
    cmd.FillMenu(&context, res::IDR_CONTEXT_EMPTY, 0, true);
    QAction* alias = cmd.CreateAlias(res::ID_VIEW_COUNTDOWN, "x", &context);
    QAction* main = cmd.Action(res::ID_VIEW_COUNTDOWN);
    EXPECT_TRUE(main->isChecked());
    EXPECT_TRUE(alias->isChecked());
    alias->trigger();
    EXPECT_EQ(mode, 0);
    EXPECT_FALSE(main->isChecked());
    EXPECT_FALSE(alias->isChecked());
    main->trigger();
    EXPECT_TRUE(main->isChecked());
    EXPECT_TRUE(alias->isChecked());

    // The context menu without a selection: new and paste, with their own texts.
    EXPECT_EQ(MenuTexts(&context), (QStringList{"&Nowy plan...", QString::fromUtf8("Przesuń")}));
}

TEST_F(MainFrameTest, ToolBarAndStatusBarSwitchesAreCheckedWhileVisible) {
    CMainFrame frame;
    frame.show();
    CCommandLayer& cmd = frame.Commands();
    cmd.UpdateAll();
    EXPECT_TRUE(cmd.Action(res::ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_TRUE(cmd.Action(res::ID_VIEW_STATUS_BAR)->isChecked());
    cmd.Execute(res::ID_VIEW_TOOLBAR);
    EXPECT_FALSE(frame.ToolBar()->isVisible());
    EXPECT_FALSE(cmd.Action(res::ID_VIEW_TOOLBAR)->isChecked());
    cmd.Execute(res::ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(frame.statusBar()->isVisible());
    EXPECT_FALSE(cmd.Action(res::ID_VIEW_STATUS_BAR)->isChecked());
    cmd.Execute(res::ID_VIEW_TOOLBAR);
    EXPECT_TRUE(frame.ToolBar()->isVisible());
    EXPECT_TRUE(cmd.Action(res::ID_VIEW_TOOLBAR)->isChecked());
}

TEST_F(MainFrameTest, StatusBarShowsReadyAndTheLitLockKeys) {
    QTemporaryDir leds;
    namespace fs = std::filesystem;
    const fs::path root = leds.path().toStdString();
    fs::create_directories(root / "input7::capslock");
    fs::create_directories(root / "input7::numlock");
    fs::create_directories(root / "input7::scrolllock");
    std::ofstream(root / "input7::capslock" / "brightness") << "1\n";
    std::ofstream(root / "input7::numlock" / "brightness") << "0\n";
    // The scroll lock light has no readable brightness.

    CMainFrame frame;
    EXPECT_EQ(frame.MessagePane()->text(), QString("Gotowy."));
    frame.SetKeyIndicators(CKeyIndicators(root.string()));
    EXPECT_EQ(frame.Indicator(LockKey::Caps)->text(), QString("UF"));
    EXPECT_EQ(frame.Indicator(LockKey::Num)->text(), QString());
    EXPECT_EQ(frame.Indicator(LockKey::Scroll)->text(), QString());

    std::ofstream(root / "input7::numlock" / "brightness") << "1\n";
    frame.UpdateIndicators();
    EXPECT_EQ(frame.Indicator(LockKey::Num)->text(), QString("NUM"));
    EXPECT_FALSE(CKeyIndicators((root / "missing").string()).IsOn(LockKey::Caps));
}

// The signatures' pane shows the newest database and the count, and says in
// words when they are over a week old or missing; the about box names them.
TEST_F(MainFrameTest, StatusBarTellsTheSignaturesVersionAndWarnsWhenOldOrMissing) {
    QTemporaryDir sigs;
    const std::string folder = sigs.path().toStdString();
    const std::time_t now = std::time(nullptr);
    WriteDatabaseHeader(folder, "daily.cvd", 27123, 2000, now - 3600);
    WriteDatabaseHeader(folder, "main.cvd", 62, 500, now - 90 * 24 * 3600);
    setenv("VEX_SIGNATURES", folder.c_str(), 1);
    CMainFrame frame;
    CSignaturePane* pane = frame.SignaturePane();
    const QString fresh = QString::fromUtf8("Sygnatury: daily.cvd 27123 z " +
                                            LocalDate(now - 3600) + ", sygnatur 2500");
    EXPECT_EQ(pane->text(), fresh);
    EXPECT_FALSE(pane->IsWarning());
    EXPECT_TRUE(pane->toolTip().contains("main.cvd 62"));
    CInfoDlg about(&frame);
    about.show();
    EXPECT_EQ(about.Signatures(), fresh);
    about.reject();

    pane->Refresh(now + 12 * 24 * 3600);
    EXPECT_EQ(pane->text(), QString("Sygnatury sprzed 12 dni: uruchom freshclam"));
    EXPECT_TRUE(pane->IsWarning());
    std::filesystem::remove(folder + "/daily.cvd");
    std::filesystem::remove(folder + "/main.cvd");
    pane->Refresh(now);
    EXPECT_EQ(pane->text(), QString("Brak sygnatur: zainstaluj clamav-freshclam"));
    unsetenv("VEX_SIGNATURES");
}
