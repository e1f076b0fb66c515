#include "VigilDoc.h"

#include "Clock.h"
#include "CommandLayer.h"
#include "Commands.h"
#include "Job.h"
#include "JobCommands.h"
#include "ModalSeam.h"
#include "NameSecret.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "ResourceIds.h"
#include "StatePaths.h"
#include "StringTable.h"
#include "VigilView.h"

#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>
#include <cctype>

namespace {
constexpr unsigned kJobKeyId = 139;
constexpr unsigned kImportTitleId = 168;
constexpr unsigned kFilterNameId = 169;
constexpr unsigned kFilterPatternId = 170;
constexpr unsigned kExportTitleId = 171;
constexpr unsigned kDocTemplateId = 128;
constexpr const char* kExtension = ".scj";

std::vector<FileFilter> JobFileFilters() {
    return {{LoadResString(kFilterNameId), LoadResString(kFilterPatternId)}};
}

// Part nIndex of the document template string (parts separated by line breaks).
std::string TemplatePart(int nIndex) {
    const QString text = QString::fromUtf8(LoadResString(kDocTemplateId));
    return text.section(QLatin1Char('\n'), nIndex, nIndex).toStdString();
}

bool RunFileDialog(std::string& strPath, const char* pszTitle,
                   const std::vector<FileFilter>& filters, QWidget* pParent, bool bSave) {
    strPath.clear();
    QFileDialog dialog(pParent, QString::fromUtf8(pszTitle != nullptr ? pszTitle : ""));
    dialog.setAcceptMode(bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList nameFilters;
    for (const auto& [name, pattern] : filters) {
        // Each filter text is at most 127 characters, as the dialog always had it.
        QString entry = QString::fromUtf8(name).left(127) + QStringLiteral(" (") +
                        QString::fromUtf8(pattern).left(127) + QLatin1Char(')');
        nameFilters << entry;
    }
    dialog.setNameFilters(nameFilters);
    if (RunModal(dialog) != IDOK)
        return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty())
        return false;
    strPath = QFileInfo(files.front()).absoluteFilePath().toStdString();
    return true;
}
} // namespace

bool PromptOpenFileName(std::string& strPath, const char* pszTitle,
                        const std::vector<FileFilter>& filters, QWidget* pParent) {
    return RunFileDialog(strPath, pszTitle, filters, pParent, false);
}

bool PromptSaveFileName(std::string& strPath, const char* pszTitle,
                        const std::vector<FileFilter>& filters, QWidget* pParent) {
    return RunFileDialog(strPath, pszTitle, filters, pParent, true);
}

std::string FormatMessageText(unsigned nStringId, const char* pszArg) {
    std::string text = LoadResString(nStringId);
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, pszArg != nullptr ? pszArg : "");
    return text;
}

std::string CannotCarryOutText(const CJob& job) {
    std::string text = LoadResString(kMsgCannotCarryOut);
    const size_t name = text.find("%s");
    const size_t why = text.find("%s", name + 2);
    // The later one first, so the name's place stays where it was.
    text.replace(why, 2, CJob::DescribeFault(job.CheckIncoming()));
    text.replace(name, 2, job.GetName());
    return text;
}

bool HasJobFileExtension(const std::string& strPath) {
    const size_t n = std::char_traits<char>::length(kExtension);
    if (strPath.size() < n)
        return false;
    return std::equal(strPath.end() - n, strPath.end(), kExtension, [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

CVigilDoc::CVigilDoc(QObject* pParent) : QObject(pParent), m_store(this) {}

CVigilDoc::~CVigilDoc() {
    m_store.SetDocument(nullptr);
    m_store.Close();
}

bool CVigilDoc::OnNewDocument() {
    if (m_store.IsOpen())
        return true;
    // What another user could change is not used at all.
    const CStateProblem problem = CheckStateRoot();
    if (problem.kind != CStateProblem::None) {
        AfxMessageBox(FormatMessageText(kMsgUnsafeState, problem.strPath.c_str()).c_str(), MB_OK);
        return false;
    }
    // The server's wake-up event and the windows' refresh broadcast.
    std::string strError;
    std::string unsafe;
    if (!CNamedEvent::CheckOwner(kServerEventName, strError)) {
        unsafe = CNamedEvent::SemaphoreName(kServerEventName);
        // No name without a usable secret: the secret is what is at fault.
        if (unsafe.empty())
            unsafe = NameSecretPath();
    } else if (!CNamedBroadcast(kClientEventName).IsValid()) {
        unsafe = CNamedBroadcast::SharedName(kClientEventName); // empty without a state root
    }
    if (!unsafe.empty()) {
        AfxMessageBox(FormatMessageText(kMsgUnsafeEvent, unsafe.c_str()).c_str(), MB_OK);
        return false;
    }
    m_store.SetDocument(this);
    m_store.SetMessageSink(this);
    if (m_store.Open(LoadResString(kJobKeyId)))
        return true;
    AfxMessageBox(kMsgCannotOpenStore, MB_OK);
    return false;
}

void CVigilDoc::AddView(CVigilView* pView) {
    if (std::find(m_views.begin(), m_views.end(), pView) == m_views.end())
        m_views.push_back(pView);
}

void CVigilDoc::RemoveView(CVigilView* pView) {
    std::erase(m_views, pView);
}

void CVigilDoc::UpdateAllViews(void* pSender, int nHint, CJob* pHint) {
    // A copy: a view may go away while the others are told.
    const std::vector<CVigilView*> views = m_views;
    for (CVigilView* view : views)
        if (view != pSender)
            view->OnUpdate(static_cast<CVigilView*>(pSender), nHint, pHint);
}

void CVigilDoc::ShowMessage(unsigned nStringId) {
    AfxMessageBox(nStringId, MB_OK);
}

void CVigilDoc::ShowFailure(unsigned nStringId, const std::string& strCause) {
    AfxMessageBox(WithCause(nStringId, strCause).c_str(), MB_OK);
}

void CVigilDoc::RegisterCommands(CCommandLayer& commands) {
    commands.SetHandler(res::ID_JOB_NEW, this, [this] { OnJobNew(); });
    commands.SetHandler(res::ID_FILE_OPEN, this, [this] { OnJobImport(); });
    commands.SetHandler(res::ID_FILE_SAVE_AS, this, [this] { OnJobExport(); });
    commands.SetHandler(res::ID_FILE_SAVE, this, [this] { OnFileSave(); });
}

void CVigilDoc::OnJobNew() {
    RunNewJobCommand(m_store, m_pMainWnd);
}

void CVigilDoc::EditJob(int nRow, const char* pszName) {
    RunEditJobCommand(m_store, nRow, pszName, m_pMainWnd);
}

void CVigilDoc::OnJobImport() {
    std::string path;
    if (PromptOpenFileName(path, LoadResString(kImportTitleId), JobFileFilters(), m_pMainWnd))
        ImportFile(path);
    UpdateViewsAfterImport();
}

void CVigilDoc::OpenJobFile(const std::string& strPath) {
    ImportFile(strPath);
    UpdateViewsAfterImport();
}

void CVigilDoc::UpdateViewsAfterImport() {
    // Whatever happened: add rows for new names, re-read every row, drop the
    // rows of jobs that are gone.
    UpdateAllViews(nullptr, kHintJobAdded, nullptr);
    UpdateAllViews(nullptr, kHintJobChanged, nullptr);
    UpdateAllViews(nullptr, kHintJobsDeleted, nullptr);
}

bool CVigilDoc::ImportFile(const std::string& strPath) {
    std::vector<BYTE> bytes;
    const JobFileStatus read = ReadFileBytes(strPath, bytes);
    if (read == JobFileStatus::CannotOpen) {
        AfxMessageBox(FormatMessageText(kMsgCannotReadFile, strPath.c_str()).c_str(), MB_OK);
        return false;
    }
    if (read != JobFileStatus::Ok) {
        AfxMessageBox(FormatMessageText(kMsgDamagedFile, strPath.c_str()).c_str(), MB_OK);
        return false;
    }
    CJobFileReader reader(bytes.data(), bytes.size());
    const JobFileStatus header = reader.ReadHeader(JobFileSignature());
    if (header == JobFileStatus::WrongSignature) {
        AfxMessageBox(kMsgWrongFileType, MB_OK);
        return false;
    }
    // One job object for every record, as the file is read.
    CJob job;
    JobFileStatus status = header;
    int answerForAll = 0; // IDYES or IDNO once the user answered for the rest
    while (status == JobFileStatus::Ok && (status = reader.ReadNext(job)) == JobFileStatus::Ok) {
        if (job.CheckIncoming() != CJob::EFault::None) {
            AfxMessageBox(CannotCarryOutText(job).c_str(), MB_OK);
            continue;
        }
        if (m_store.ReadJob(job.GetName(), nullptr)) {
            const int answer = answerForAll ? answerForAll : AskReplace(job, answerForAll);
            if (answer == IDCANCEL)
                break; // the rest of the file is not imported
            if (answer != IDYES ||
                m_store.ReplaceJob(job, CurrentTime()) != CRegInterface::EChange::Gone)
                continue;
        }
        // New here (or deleted while the question was open).
        job.PrepareIncoming(nullptr, CurrentTime());
        m_store.AddJob(job);
    }
    if (status == JobFileStatus::Damaged) {
        AfxMessageBox(FormatMessageText(kMsgDamagedFile, strPath.c_str()).c_str(), MB_OK);
        return false;
    }
    return true;
}

int CVigilDoc::AskReplace(const CJob& job, int& answerForAll) {
    const std::string question = FormatMessageText(kMsgReplaceJob, job.GetName());
    const int answer = AfxMessageBox(question.c_str(), MB_YESNO | MB_FORALL | MB_ICONQUESTION);
    if (answer == IDYESTOALL || answer == IDNOTOALL) {
        answerForAll = answer == IDYESTOALL ? IDYES : IDNO;
        return answerForAll;
    }
    return answer == IDYES || answer == IDNO ? answer : IDCANCEL;
}

bool CVigilDoc::CompleteExportName(std::string& strPath) {
    if (HasJobFileExtension(strPath))
        return true;
    strPath += kExtension;
    // The save dialog asked about the name as typed; the completed name is a
    // different file, so ask about it here.
    if (!QFileInfo::exists(QString::fromStdString(strPath)))
        return true;
    const std::string question = FormatMessageText(kMsgReplaceFile, strPath.c_str());
    return AfxMessageBox(question.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CVigilDoc::OnJobExport() {
    std::string path;
    if (!PromptSaveFileName(path, LoadResString(kExportTitleId), JobFileFilters(), m_pMainWnd))
        return;
    if (CompleteExportName(path))
        ExportFile(path);
}

void CVigilDoc::OnFileSave() {
    std::string path = m_strPathName;
    if (path.empty()) {
        // The document template's filter: "Rodzaj pliku ustawień analizy (*.scj)".
        const std::string title = res::CommandToolTip(res::ID_FILE_SAVE_AS);
        const std::string filterName = TemplatePart(3);
        const std::string pattern = "*" + TemplatePart(4);
        std::vector<FileFilter> filters{{filterName.substr(0, filterName.find(" (")), pattern}};
        if (!PromptSaveFileName(path, title.c_str(), filters, m_pMainWnd) ||
            !CompleteExportName(path))
            return;
    }
    if (ExportFile(path))
        m_strPathName = path;
}

bool CVigilDoc::ExportFile(const std::string& strPath) {
    // One pass over the store: the count written is the number of records
    // that follow, however the store changes meanwhile.
    std::vector<std::vector<BYTE>> records;
    CRegInterface::EEnum step = CRegInterface::EEnum::Failed;
    m_store.ReadTogether([&] {
        CJob job;
        DWORD index = 0;
        while ((step = m_store.NextJob(&index, &job)) == CRegInterface::EEnum::Job)
            records.push_back(job.Store());
    });
    // A store that cannot be read to its end (damaged, say) must not replace
    // a good file with part of the jobs.
    if (step == CRegInterface::EEnum::Failed) {
        AfxMessageBox(FormatMessageText(kMsgCannotReadStore, strPath.c_str()).c_str(), MB_OK);
        return false;
    }
    if (SaveJobFile(strPath, EncodeJobFile(records)))
        return true;
    AfxMessageBox(FormatMessageText(kMsgCannotWriteFile, strPath.c_str()).c_str(), MB_OK);
    return false;
}
