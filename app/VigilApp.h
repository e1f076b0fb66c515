#pragma once

#include "HelpViewDlg.h"

#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>

class CMainFrame;
class CVigilDoc;
class CVigilView;
class QApplication;
class QTranslator;

// The application object: it owns the toolkit's application, the one
// document, the main frame and its job list, and carries the start-up, the
// command line and the help command.
class CVigilApp {
public:
    // Makes the toolkit's application unless one exists already, and gives
    // the toolkit's own texts (file dialogs, edit menus) the user's language.
    CVigilApp(int& argc, char** argv);
    ~CVigilApp();
    CVigilApp(const CVigilApp&) = delete;
    CVigilApp& operator=(const CVigilApp&) = delete;

    // Opens the job store (message 162 and false when it cannot), builds the
    // window, fills the list, shows the window, reads the help file's path,
    // and imports a job file named on the command line.
    bool InitInstance();
    // Runs the event loop until the main window closes.
    int Run();

    // The job named by "--log NAME", or empty: then the program shows that
    // job's log viewer alone (ShowLogOnly) instead of its window.
    const std::string& GetLogJob() const { return m_strLogJob; }
    int ShowLogOnly();

    // Every help request opens the help file's contents: in the desktop's
    // browser, or in the program's own viewer when there is none; message
    // 196 when the pages are missing too.
    void OnHelp();
    CHelpViewDlg* GetHelpViewer() const { return m_pHelpView; }
    const std::string& GetHelpFilePath() const { return m_strHelpFilePath; }
    // How a file is handed to the desktop's viewer; false when the desktop
    // has none (tests replace it).
    void SetUrlOpener(std::function<bool(const QUrl&)> opener) { m_urlOpener = std::move(opener); }

    // The job file named on the command line, or empty. Options of the
    // toolkit have been taken out by then.
    const std::string& GetCommandLineFile() const { return m_strCommandLineFile; }

    CMainFrame* GetMainFrame() const { return m_pFrame.get(); }
    CVigilDoc* GetDocument() const { return m_pDoc.get(); }
    CVigilView* GetView() const { return m_pView; }

private:
    void RegisterCommands();
    void OnFrameClosing();
    void LoadToolkitTranslation();

    std::unique_ptr<QApplication> m_pOwnApp;
    std::unique_ptr<QTranslator> m_pToolkitTranslator;
    std::unique_ptr<CVigilDoc> m_pDoc;
    std::unique_ptr<CMainFrame> m_pFrame;
    CVigilView* m_pView = nullptr;
    std::string m_strHelpFilePath;
    std::string m_strCommandLineFile;
    std::string m_strLogJob;
    std::function<bool(const QUrl&)> m_urlOpener;
    QPointer<CHelpViewDlg> m_pHelpView;
};
