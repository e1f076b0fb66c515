#include "VigilApp.h"

#include "CommandLayer.h"
#include "DesktopRegistration.h"
#include "HelpViewDlg.h"
#include "InfoDlg.h"
#include "LogViewDlg.h"
#include "MainFrame.h"
#include "ModalSeam.h"
#include "ResourceIds.h"
#include "Settings.h"
#include "StringTable.h"
#include "Toolbar.h"
#include "VigilDoc.h"
#include "VigilView.h"
#include "WindowRect.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {
constexpr unsigned kSettingsKeyId = 141;
constexpr unsigned kMsgHelpNotOpened = 196; // "%s": the help page

const char* SettingsKey() {
    return LoadResString(kSettingsKeyId);
}
} // namespace

CVigilApp::CVigilApp(int& argc, char** argv) {
    if (QCoreApplication::instance() == nullptr)
        m_pOwnApp = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vex-tempora"));
    // No display name: the window system would append it to every window
    // title, and the main window's title is its own text alone.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.VexTempora"));
    // Every window of the program, message boxes and viewers too, carries
    // its icon.
    QApplication::setWindowIcon(
        QIcon(QStringLiteral(":/images/") + QString::fromLatin1(res::AppIconImage())));
    LoadToolkitTranslation();
    // The first argument that is no option names a job file to open;
    // "--log NAME" asks for the log viewer of a job alone. The toolkit has
    // taken its own options out of argv by now.
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--log") && i + 1 < argc && argv[i + 1] != nullptr) {
            m_strLogJob = argv[++i];
            continue;
        }
        if (!arg.isEmpty() && !arg.startsWith(QLatin1Char('-'))) {
            m_strCommandLineFile = QFileInfo(arg).absoluteFilePath().toStdString();
            break;
        }
    }
    // The toolkit reports success as soon as xdg-open starts, even when it
    // then finds no program for the page: ask the desktop first.
    m_urlOpener = [](const QUrl& url) {
        return CHelpViewDlg::DesktopOpensHtml() && QDesktopServices::openUrl(url);
    };
}

CVigilApp::~CVigilApp() {
    // The window goes before the document whose store its list reads.
    m_pFrame.reset();
    m_pDoc.reset();
    if (m_pToolkitTranslator)
        QCoreApplication::removeTranslator(m_pToolkitTranslator.get());
}

void CVigilApp::LoadToolkitTranslation() {
    // The toolkit's catalogue for the user's locale; without one (English,
    // or the translations not installed) its texts stay as they are.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator.get());
    m_pToolkitTranslator = std::move(translator);
}

bool CVigilApp::InitInstance() {
    // Job files show as the program's documents and open in it.
    RegisterDesktopIntegration();

    m_pDoc = std::make_unique<CVigilDoc>();
    if (!m_pDoc->OnNewDocument())
        return false;

    m_pFrame = std::make_unique<CMainFrame>();
    m_pView = new CVigilView(m_pDoc.get(), &m_pFrame->Commands(), m_pFrame.get());
    m_pFrame->setCentralWidget(m_pView);
    m_pDoc->SetMainWindow(m_pFrame.get());
    m_pDoc->RegisterCommands(m_pFrame->Commands());
    RegisterCommands();
    m_pFrame->SetCloseHandler([this] { OnFrameClosing(); });

    m_pView->OnInitialUpdate();
    m_pFrame->show();
    m_strHelpFilePath = RegGetString(HKEY_LOCAL_MACHINE, SettingsKey(), "HelpFile", "");

    // A job file from the command line or the file manager is imported into
    // the store that is open now, with the import's questions.
    if (!m_strCommandLineFile.empty())
        m_pDoc->OpenJobFile(m_strCommandLineFile);
    m_pFrame->Commands().UpdateAll();
    return true;
}

int CVigilApp::ShowLogOnly() {
    // A desktop notice asked for it: the log viewer alone, no list and no
    // store needed. The program ends when it closes.
    auto* dialog = new CLogViewDlg(m_strLogJob);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return QApplication::exec();
}

int CVigilApp::Run() {
    return QApplication::exec();
}

void CVigilApp::RegisterCommands() {
    CCommandLayer& commands = m_pFrame->Commands();
    commands.SetHandler(res::ID_HELP, m_pFrame.get(), [this] { OnHelp(); });
    commands.SetHandler(res::ID_APP_ABOUT, m_pFrame.get(), [] { CInfoDlg::OnAppAbout(); });
}

void CVigilApp::OnHelp() {
    // Whatever was asked for, the contents and index open: the whole file.
    if (m_strHelpFilePath.empty() || !m_urlOpener)
        return;
    const QString path = QString::fromStdString(m_strHelpFilePath);
    if (m_urlOpener(QUrl::fromLocalFile(path)))
        return;
    // No browser: the pages in the program's own viewer, one at a time.
    if (QFileInfo(path).isFile()) {
        if (!m_pHelpView) {
            m_pHelpView = new CHelpViewDlg(path, m_pFrame.get());
            m_pHelpView->setAttribute(Qt::WA_DeleteOnClose);
        }
        m_pHelpView->show();
        m_pHelpView->raise();
        m_pHelpView->activateWindow();
        return;
    }
    // Nothing can show the page: say so, not nothing.
    const QString text =
        QString::fromUtf8(LoadResString(kMsgHelpNotOpened))
            .replace(QStringLiteral("%s"), QString::fromStdString(m_strHelpFilePath));
    AfxMessageBox(text.toUtf8().constData(), MB_OK | MB_ICONEXCLAMATION);
}

void CVigilApp::OnFrameClosing() {
    // The settings are written before the refresh thread is stopped.
    m_pView->SaveSettings();
    SaveWindowRect(m_pFrame.get(), SettingsKey());
    m_pView->StopRefreshThread();
}
