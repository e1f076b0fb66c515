#include "VigilApp.h"
#include "Clock.h"
#include "CommandLayer.h"
#include "Daily.h"
#include "DialogBuilder.h"
#include "HelpViewDlg.h"
#include "Job.h"
#include "JobFile.h"
#include "LogViewDlg.h"
#include "MainFrame.h"
#include "ModalSeam.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "NamedMutex.h"
#include "RegInterface.h"
#include "ResourceIds.h"
#include "ScanPaths.h"
#include "Settings.h"
#include "TempStateRoot.h"
#include "TestApp.h"
#include "VigilDoc.h"
#include "VigilView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {
constexpr const char* kSettingsKey = "Software\\Kestrow\\Rampart 8\\Tempora";

class VigilAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        ASSERT_TRUE(m_root.IsValid());
        // The start registers the job file type with the desktop: keep that
        // out of the real user's files.
        setenv("XDG_DATA_HOME", (m_root.Path() + "/data").c_str(), 1);
        m_hook = std::make_unique<ScopedModalHook>([this](QDialog& dialog) {
            m_messages.push_back(MessageBoxStringId(dialog));
            m_texts.push_back(MessageBoxText(dialog));
            return (MessageBoxType(dialog) & 0x0F) == MB_YESNO ? m_yesNoAnswer : IDOK;
        });
    }

    void TearDown() override {
        m_hook.reset();
        CNamedBroadcast::Remove(kClientEventName);
        CNamedEvent::Remove(kServerEventName);
    }

    void CreateJobKey() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    static std::unique_ptr<CJob> MakeJob(const char* name) {
        auto job = std::make_unique<CJob>();
        job->SetName(name);
        CDaily daily;
        const int hour = 13, minute = 0;
        daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                  nullptr);
        job->SetPeriod(daily, COleDateTime(CurrentTime()));
        return job;
    }

    void StoreJob(const char* name) {
        CRegInterface raw;
        ASSERT_TRUE(raw.Open(kJobKeyPath));
        auto job = MakeJob(name);
        ASSERT_TRUE(raw.WriteJob(*job, 0, nullptr));
    }

    // argv for an application started with the given file.
    struct Args {
        explicit Args(const std::string& file) : strFile(file) {
            argv[0] = name;
            argv[1] = strFile.data();
            argv[2] = nullptr;
        }
        int argc = 2;
        char name[16] = "vex-tempora";
        std::string strFile;
        char* argv[3];
    };

    CTempStateRoot m_root;
    std::unique_ptr<ScopedModalHook> m_hook;
    std::vector<unsigned> m_messages;
    std::vector<QString> m_texts;
    int m_yesNoAnswer = IDNO;
};

int g_argc = 1;
char g_name[] = "vex-tempora";
char* g_argv[] = {g_name, nullptr};
} // namespace

// The toolkit's own texts (the folder browser, every edit field's context
// menu) speak the user's language while the application lives.
TEST_F(VigilAppTest, ToolkitTextsFollowTheUsersLocale) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    {
        CVigilApp app(g_argc, g_argv);
        EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
        QLineEdit edit;
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (const QAction* action : menu->actions())
            if (!action->isSeparator())
                texts << action->text();
        EXPECT_FALSE(texts.isEmpty());
        for (const char* english : {"&Undo", "&Paste", "Select All"})
            EXPECT_FALSE(texts.contains(QString::fromLatin1(english)))
                << texts.join('|').toStdString();
    }
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
    QLocale::setDefault(before);
}

TEST_F(VigilAppTest, MissingJobStoreEndsTheStartWithMessage162) {
    CVigilApp app(g_argc, g_argv);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(m_messages, std::vector<unsigned>{162});
    EXPECT_EQ(app.GetMainFrame(), nullptr);
}

TEST_F(VigilAppTest, StartShowsTheFilledListAndTellsWhenNoServerRuns) {
    CreateJobKey();
    StoreJob("b");
    StoreJob("a");
    ASSERT_TRUE(
        RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "HelpFile", "/usr/share/help/x.html"));
    CVigilApp app(g_argc, g_argv);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(m_messages, std::vector<unsigned>{172});
    ASSERT_NE(app.GetMainFrame(), nullptr);
    EXPECT_TRUE(app.GetMainFrame()->isVisible());
    EXPECT_EQ(app.GetMainFrame()->centralWidget(), app.GetView());
    // The window system adds a display name, when one is set, to every
    // title; the main window's title must stay alone.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    EXPECT_EQ(app.GetMainFrame()->windowTitle(), QString("Ustawienia periodyczne Vex"));
    ASSERT_EQ(app.GetView()->rowCount(), 2);
    EXPECT_EQ(app.GetView()->item(0, 0)->text(), QString("a"));
    EXPECT_TRUE(app.GetView()->IsRefreshThreadRunning());
    EXPECT_EQ(app.GetHelpFilePath(), "/usr/share/help/x.html");

    // Help, from the menu or F1, opens the whole help file.
    std::vector<QUrl> opened;
    app.SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    QAction* help = app.GetMainFrame()->Commands().Action(res::ID_HELP);
    EXPECT_TRUE(help->isEnabled());
    EXPECT_EQ(help->shortcut(), QKeySequence(Qt::Key_F1));
    help->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile("/usr/share/help/x.html"));
    EXPECT_EQ(m_messages, std::vector<unsigned>{172});

    // Without a browser to open it, F1 says which page and what is missing.
    app.SetUrlOpener([](const QUrl&) { return false; });
    QString shown;
    {
        ScopedModalHook hook([&](QDialog& dialog) {
            shown = MessageBoxText(dialog);
            EXPECT_FALSE(dialog.windowIcon().isNull()); // the program's, as every window's
            return IDOK;
        });
        help->trigger();
    }
    EXPECT_TRUE(shown.contains("/usr/share/help/x.html")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("xdg-utils")) << shown.toStdString();
}

TEST_F(VigilAppTest, WithoutABrowserHelpOpensInTheProgramsOwnViewer) {
    CreateJobKey();
    CNamedMutex server(kServerMutexName);
    ASSERT_TRUE(server.TryLock());
    const QString pages = QString::fromStdString(m_root.Path()) + "/help";
    ASSERT_TRUE(QDir().mkpath(pages));
    auto page = [&](const char* name, const char* html) {
        QFile file(pages + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(html);
    };
    page("index.html", "<html><head><title>Spis</title></head>"
                       "<body><a href=\"druga.html\">Dalej</a></body></html>");
    page("druga.html", "<html><head><title>Druga</title></head><body>Tekst</body></html>");
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "HelpFile",
                             (pages + "/index.html").toUtf8().constData()));
    // A desktop without xdg-open or any browser.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(pages));
    CVigilApp app(g_argc, g_argv);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_FALSE(CHelpViewDlg::DesktopOpensHtml());
    app.GetMainFrame()->Commands().Action(res::ID_HELP)->trigger();
    qputenv("PATH", path);

    CHelpViewDlg* viewer = app.GetHelpViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_TRUE(m_messages.empty());
    QTextBrowser* browser = viewer->Browser();
    EXPECT_EQ(browser->documentTitle(), QString("Spis"));
    // The link leads to the other page, and back.
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    EXPECT_EQ(browser->documentTitle(), QString("Druga"));
    ASSERT_TRUE(browser->isBackwardAvailable());
    browser->backward();
    EXPECT_EQ(browser->documentTitle(), QString("Spis"));
    // F1 again brings the same viewer forward rather than a second one.
    app.GetMainFrame()->Commands().Action(res::ID_HELP)->trigger();
    EXPECT_EQ(app.GetHelpViewer(), viewer);
}

TEST_F(VigilAppTest, ClosingWritesSettingsAndStopsTheThread) {
    CreateJobKey();
    CNamedMutex server(kServerMutexName);
    ASSERT_TRUE(server.TryLock());
    {
        CVigilApp app(g_argc, g_argv);
        ASSERT_TRUE(app.InitInstance());
        EXPECT_TRUE(m_messages.empty());
        app.GetMainFrame()->Commands().Execute(res::ID_VIEW_COUNTDOWN);
        app.GetMainFrame()->setGeometry(30, 40, 700, 400);
        app.GetMainFrame()->Commands().Execute(res::ID_APP_EXIT);
        EXPECT_FALSE(app.GetMainFrame()->isVisible());
        EXPECT_FALSE(app.GetView()->IsRefreshThreadRunning());
    }
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kSettingsKey, "cdm", 7), 0u);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kSettingsKey, "SortCol", 7), 0u);
    // The list's default width, grown with the font as the list grows it.
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kSettingsKey, "Nazwa", 7),
              static_cast<DWORD>((180 * CDialogUnits(QApplication::font()).BaseX() + 3) / 6));
    CWindowRect rect;
    ASSERT_TRUE(RegGetWindowRect(kSettingsKey, rect));
    EXPECT_EQ(rect.left, 30);
    EXPECT_EQ(rect.bottom, 440);

    // The next start finds them again.
    CVigilApp again(g_argc, g_argv);
    ASSERT_TRUE(again.InitInstance());
    EXPECT_FALSE(again.GetView()->IsCountdownMode());
    EXPECT_EQ(again.GetMainFrame()->geometry(), QRect(30, 40, 700, 400));
}

TEST_F(VigilAppTest, JobFileOnTheCommandLineIsImportedIntoTheOpenStore) {
    CreateJobKey();
    StoreJob("a");
    CNamedMutex server(kServerMutexName);
    ASSERT_TRUE(server.TryLock());
    QTemporaryDir files;
    const std::string path = QDir(files.path()).filePath("in.scj").toStdString();
    {
        QFile out(QString::fromStdString(path));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        const std::vector<BYTE> bytes =
            EncodeJobFile({MakeJob("a")->Store(), MakeJob("b")->Store()});
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    Args args(path);
    CVigilApp app(args.argc, args.argv);
    EXPECT_EQ(app.GetCommandLineFile(), path);
    ASSERT_TRUE(app.InitInstance());
    // One question for the job that exists, no failed saves.
    EXPECT_EQ(m_messages, std::vector<unsigned>{0});
    EXPECT_TRUE(m_texts[0].contains("\"a\""));
    ASSERT_EQ(app.GetView()->rowCount(), 2);
    EXPECT_EQ(app.GetView()->item(1, 0)->text(), QString("b"));
    CRegInterface raw;
    ASSERT_TRUE(raw.Open(kJobKeyPath));
    EXPECT_TRUE(raw.ReadJob("b", nullptr));
}

TEST_F(VigilAppTest, LogOptionShowsThatJobsLogAloneUntilItCloses) {
    char name[] = "vex-tempora";
    char option[] = "--log";
    char job[] = "Dom";
    char* argv[] = {name, option, job, nullptr};
    int argc = 3;
    CVigilApp app(argc, argv);
    EXPECT_EQ(app.GetLogJob(), "Dom");
    EXPECT_EQ(app.GetCommandLineFile(), ""); // the name is no job file to import

    // No job store is needed; the viewer is the only window, and closing it
    // ends the program.
    QString title;
    QString path;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* viewer = qobject_cast<CLogViewDlg*>(w); viewer && viewer->isVisible()) {
                title = viewer->windowTitle();
                path = viewer->LogPath();
                viewer->CloseButton()->click();
            }
        }
    });
    QTimer::singleShot(5000, [] { QApplication::exit(1); }); // never hangs the suite
    EXPECT_EQ(app.ShowLogOnly(), 0);
    EXPECT_EQ(title, QString::fromUtf8("Protokół analizy „Dom”"));
    EXPECT_EQ(path.toStdString(), CScanPaths::ForJob(m_root.Path(), "Dom").m_strLog);
}
