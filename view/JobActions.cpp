#include "JobActions.h"

#include "Clipboard.h"
#include "Clock.h"
#include "CommandLayer.h"
#include "Job.h"
#include "JobResult.h"
#include "LogViewDlg.h"
#include "ModalSeam.h"
#include "QuarantineDlg.h"
#include "RegInterface.h"
#include "ResourceIds.h"
#include "RunNow.h"
#include "RunningScan.h"
#include "Settings.h"
#include "StatePaths.h"
#include "StoreDocument.h"
#include "StringTable.h"
#include "VigilDoc.h"
#include "VigilView.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>

#include <algorithm>

namespace {
constexpr unsigned IDS_DELETE_SEVERAL = 163;
constexpr unsigned IDS_DELETE_ONE = 164;
constexpr unsigned IDS_SETTINGS_KEY = 141;

// The list would otherwise copy its current cell's text on the copy keys when
// the copy command is disabled, replacing jobs that a cut left on the
// clipboard. An enabled copy command takes the keys before the list sees them.
class CCopyKeyGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(pEvent)->matches(QKeySequence::Copy))
            return true;
        return QObject::eventFilter(pWatched, pEvent);
    }
};
} // namespace

bool CJobActions::DeleteJobs(CRegInterface& store, const std::vector<std::string>& names) {
    const unsigned question = names.size() == 1 ? IDS_DELETE_ONE : IDS_DELETE_SEVERAL;
    if (AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    for (const std::string& name : names)
        store.DeleteJob(name.c_str());
    return true;
}

std::string CJobActions::ScannerPath() {
    return RegGetString(HKEY_LOCAL_MACHINE, LoadResString(IDS_SETTINGS_KEY), "vexexe", "");
}

int CJobActions::RunJobsNow(CRegInterface& store, const std::vector<std::string>& names,
                            bool bFullScan) {
    int written = 0;
    for (const std::string& name : names) {
        CJob job;
        if (!store.ReadJob(name.c_str(), &job))
            continue;
        job.m_bFullScan = bFullScan;
        // Read for every job, as the installation may change it meanwhile.
        const ERunNow result = RunJobNow(store, job, ScannerPath());
        if (result == ERunNow::Started || result == ERunNow::NotStarted ||
            result == ERunNow::Refused)
            ++written;
    }
    return written;
}

int CJobActions::StopJobs(const std::vector<std::string>& names) {
    int stopped = 0;
    for (const std::string& name : names)
        stopped += StopRunningScan(name.c_str()) == EStopScan::Signalled ? 1 : 0;
    return stopped;
}

bool CJobActions::AnyRunning(const std::vector<std::string>& names) {
    CRunningScan scan;
    return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
        return FindRunningScan(name.c_str(), scan);
    });
}

void CJobActions::ShowLog(CRegInterface& store, const std::vector<std::string>& names,
                          QWidget* pParent) {
    if (names.empty())
        return;
    CJob job;
    const std::string name =
        store.ReadJob(names.front().c_str(), &job) ? job.GetName() : names.front();
    CLogViewDlg dialog(name, pParent);
    dialog.DoModal();
}

std::vector<std::string> CJobActions::SelectedNames(const CVigilView& view) {
    std::vector<std::string> names;
    std::string name;
    for (int row = view.GetNextSelectedJob(-1, name); row >= 0;
         row = view.GetNextSelectedJob(row, name))
        names.push_back(name);
    return names;
}

void CJobActions::Register(CVigilView& view, CCommandLayer& commands) {
    CVigilView* pView = &view;
    auto store = [pView]() -> CRegInterface* {
        return pView->GetDocument() != nullptr ? &pView->GetDocument()->GetStore() : nullptr;
    };
    // Each handler takes the selection first: the commands change the list.
    auto onSelection = [pView, store](auto action) {
        return [pView, store, action] {
            std::vector<std::string> names = SelectedNames(*pView);
            if (store() != nullptr && pView->KeepStoredJobs(names))
                action(*store(), names);
        };
    };
    auto anySelected = [pView](CCmdUI& ui) { ui.Enable(pView->GetSelectedCount() != 0); };

    commands.SetHandler(res::ID_JOB_DELETE, pView, onSelection(DeleteJobs));
    commands.SetUpdateHandler(res::ID_JOB_DELETE, pView, anySelected);
    for (const bool full : {false, true}) {
        const unsigned id = full ? res::ID_JOB_RUN_FULL : res::ID_JOB_RUN_NOW;
        commands.SetHandler(
            id, pView, onSelection([full](CRegInterface& s, const std::vector<std::string>& n) {
                RunJobsNow(s, n, full);
            }));
        commands.SetUpdateHandler(id, pView, anySelected);
    }
    commands.SetHandler(
        res::ID_JOB_STOP, pView,
        onSelection([](CRegInterface&, const std::vector<std::string>& n) { StopJobs(n); }));
    commands.SetUpdateHandler(res::ID_JOB_STOP, pView, [pView](CCmdUI& ui) {
        ui.Enable(pView->GetSelectedCount() != 0 && AnyRunning(SelectedNames(*pView)));
    });
    commands.SetHandler(res::ID_JOB_SHOW_LOG, pView,
                        onSelection([pView](CRegInterface& s, const std::vector<std::string>& n) {
                            ShowLog(s, n, pView->window());
                        }));
    commands.SetUpdateHandler(res::ID_JOB_SHOW_LOG, pView,
                              [pView](CCmdUI& ui) { ui.Enable(pView->GetSelectedCount() == 1); });
    commands.SetHandler(res::ID_JOB_QUARANTINE, pView, [pView] {
        CQuarantineDlg dialog(StateRoot(), pView->window());
        dialog.DoModal();
    });
    commands.SetUpdateHandler(res::ID_JOB_QUARANTINE, pView, [](CCmdUI& ui) { ui.Enable(true); });
    commands.SetHandler(res::ID_EDIT_CUT, pView, onSelection(CJobClipboard::Cut));
    commands.SetUpdateHandler(res::ID_EDIT_CUT, pView, anySelected);
    commands.SetHandler(res::ID_EDIT_COPY, pView, onSelection(CJobClipboard::Copy));
    commands.SetUpdateHandler(res::ID_EDIT_COPY, pView, anySelected);
    commands.SetHandler(res::ID_EDIT_PASTE, pView, [store] {
        if (store() != nullptr)
            CJobClipboard::Paste(*store());
    });
    commands.SetUpdateHandler(res::ID_EDIT_PASTE, pView,
                              [](CCmdUI& ui) { ui.Enable(CJobClipboard::CanPaste()); });

    pView->installEventFilter(new CCopyKeyGuard(pView));

    // Paste follows the clipboard, whichever program changes it.
    if (QClipboard* board = QGuiApplication::clipboard())
        QObject::connect(board, &QClipboard::dataChanged, pView,
                         [pCommands = &commands] { pCommands->UpdateAll(); });
}
