#pragma once

#include "JobFile.h"
#include "ScanRegInterface.h"
#include "StoreDocument.h"

#include <QObject>

#include <string>
#include <utility>
#include <vector>

class CCommandLayer;
class CVigilView;
class QWidget;

// Message ids of the document beyond the store's own.
enum : unsigned {
    kMsgCannotOpenStore = 162,
    kMsgReplaceJob = 165, // 'Ustawienia analizy o nazwie "%s" już istnieją. Zastąpić?'
    kMsgWrongFileType = 167,
    kMsgDamagedFile = 176,     // the job file %s is damaged; the import stops there
    kMsgReplaceFile = 177,     // the file %s exists; replace it?
    kMsgCannotWriteFile = 178, // the file %s cannot be written
    kMsgCannotReadStore = 190, // the store cannot be read whole; %s not written
    kMsgCannotCarryOut = 191,  // the job %s cannot be stored or run (%s: why); passed over
    kMsgUnsafeState = 192,     // the state root or its file %s is not the user's alone
    kMsgUnsafeEvent = 193,     // the event %s is not the user's alone
    kMsgCannotReadFile = 179,  // the file %s cannot be opened
};

// The window's one document. It holds no jobs: it owns the job store (the
// server's registry key), tells its views what the store changed, and moves
// jobs to and from job files. Its messages are shown as message boxes.
class CVigilDoc : public QObject, public IStoreDocument, public IMessageSink {
    Q_OBJECT
public:
    explicit CVigilDoc(QObject* pParent = nullptr);
    ~CVigilDoc() override;

    // Opens the job store once; message 162 and false when it cannot.
    bool OnNewDocument();
    CScanRegInterface& GetStore() { return m_store; }

    void AddView(CVigilView* pView);
    void RemoveView(CVigilView* pView);
    // Calls OnUpdate on every view but pSender, in order.
    void UpdateAllViews(void* pSender, int nHint, CJob* pHint) override;
    void ShowMessage(unsigned nStringId) override;
    void ShowFailure(unsigned nStringId, const std::string& strCause) override;

    // Parent of the document's dialogs.
    void SetMainWindow(QWidget* pWnd) { m_pMainWnd = pWnd; }
    QWidget* GetMainWindow() const { return m_pMainWnd; }

    // Connects the document's commands: new job, import, export, save.
    void RegisterCommands(CCommandLayer& commands);

    void OnJobNew();
    // Edits the stored job pszName that list row nRow shows.
    void EditJob(int nRow, const char* pszName);

    // Asks for a job file and imports it; the views are told in any case.
    void OnJobImport();
    // Imports a job file, asking before each job that would replace a stored
    // one (or once for the rest of the file; Cancel stops the import there).
    // Stops at the first damaged record; what came before stays.
    // False when the file could not be read or was not a complete job file.
    bool ImportFile(const std::string& strPath);
    // Imports a job file named on the command line or handed over by the
    // file manager, then brings the views in step as the import command does.
    void OpenJobFile(const std::string& strPath);
    // Asks for a file name and writes every stored job into it.
    void OnJobExport();
    // Writes the job file under the document's file name, asking for one
    // first while it has none.
    void OnFileSave();
    // Writes every stored job to strPath, replacing it whole or not at all.
    bool ExportFile(const std::string& strPath);

    const std::string& GetPathName() const { return m_strPathName; }

private:
    // The file name as the user gave it, with ".scj" appended unless it ends
    // so; asks before replacing an existing file of the completed name.
    bool CompleteExportName(std::string& strPath);
    void UpdateViewsAfterImport();
    // Asks whether job replaces the stored job of its name: IDYES, IDNO or
    // IDCANCEL; an answer for all sets answerForAll to IDYES or IDNO too.
    int AskReplace(const CJob& job, int& answerForAll);

    CScanRegInterface m_store;
    std::vector<CVigilView*> m_views;
    QWidget* m_pMainWnd = nullptr;
    std::string m_strPathName;
};

// A file filter: name and pattern, as "Pliki ustawień analizy" and "*.scj".
using FileFilter = std::pair<std::string, std::string>;

// The open and save dialogs. True and the chosen full path, or false and an
// empty path when the user cancels.
bool PromptOpenFileName(std::string& strPath, const char* pszTitle,
                        const std::vector<FileFilter>& filters, QWidget* pParent = nullptr);
bool PromptSaveFileName(std::string& strPath, const char* pszTitle,
                        const std::vector<FileFilter>& filters, QWidget* pParent = nullptr);

// The string-table entry nStringId with its first "%s" replaced by pszArg.
std::string FormatMessageText(unsigned nStringId, const char* pszArg);
// The message for a job that comes in but cannot be stored or run, with its
// name and the reason.
std::string CannotCarryOutText(const CJob& job);

// True when strPath ends in ".scj", whatever the case.
bool HasJobFileExtension(const std::string& strPath);
