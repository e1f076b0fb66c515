#include "JobCommands.h"

#include "Clock.h"
#include "Job.h"
#include "JobDialog.h"
#include "ModalSeam.h"
#include "RegInterface.h"
#include "RegistryDb.h"
#include "StoreDocument.h"

#include <QApplication>

#include <vector>

namespace {

constexpr unsigned IDS_NAME_TAKEN = 138;
constexpr unsigned IDS_JOB_GONE = 319;

QWidget* OwnerOf(QWidget* pParent) {
    return pParent != nullptr ? pParent : QApplication::activeWindow();
}

// Another stored job answers to pszNewName. The job's own name, in any case,
// does not count: the store compares names folded.
bool NameTakenByOther(CRegInterface& store, const char* pszNewName, const char* pszOldName) {
    if (CRegistryDb::FoldName(pszNewName) == CRegistryDb::FoldName(pszOldName))
        return false;
    return store.ReadJob(pszNewName, nullptr);
}

// A schedule set in the dialog, made ready to be saved now: a one-off whose
// time has passed meanwhile is refused (false, after saying so), and a
// repeating one does not start at once for the minute that has begun.
bool PrepareNewSchedule(CJob& job) {
    const time_t now = CurrentTime();
    if (const std::string passed = PassedOnceMessage(*job.GetPeriod(), now); !passed.empty()) {
        AfxMessageBox(passed.c_str(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    job.SkipDueStart(now);
    return true;
}

} // namespace

bool RunNewJobCommand(CRegInterface& store, QWidget* pParent) {
    CJob job;
    CJobDialog dlg(&job, OwnerOf(pParent));
    for (;;) {
        if (dlg.DoModal() != IDOK)
            return false;
        if (PrepareNewSchedule(job) && store.AddJob(job))
            return true;
    }
}

bool RunEditJobCommand(CRegInterface& store, int nRow, const char* pszName, QWidget* pParent) {
    if (pszName == nullptr)
        return false;
    CJob job;
    if (!store.ReadJob(pszName, &job))
        return false;
    // The job as the dialog began: only what the user changed from it goes
    // into the store, over whatever was stored meanwhile (a start the server
    // made, a switch or a folder changed elsewhere).
    CJob read;
    const std::vector<BYTE> bytes = job.Store();
    read.Load(bytes.data(), bytes.size());
    CJobDialog dlg(&job, OwnerOf(pParent));
    for (;;) {
        if (dlg.DoModal() != IDOK)
            return false;
        if (NameTakenByOther(store, job.GetName(), pszName)) {
            AfxMessageBox(IDS_NAME_TAKEN);
            continue;
        }
        // A schedule confirmed (or the job switched on) in this dialog counts
        // from now; one the dialog left alone keeps its stored start.
        if (!job.HasSameLastStart(read) && !PrepareNewSchedule(job))
            continue;
        CJob stored;
        stored.SetRowIndex(nRow);
        const CRegInterface::EChange result = store.ChangeJob(pszName, stored, [&](CJob& current) {
            current.TakeEdits(read, job);
            return true;
        });
        switch (result) {
        case CRegInterface::EChange::Written:
        case CRegInterface::EChange::Unchanged:
            return true;
        case CRegInterface::EChange::NameTaken: // taken meanwhile; the store said so
            continue;
        case CRegInterface::EChange::Gone:
        case CRegInterface::EChange::Damaged:
            // Deleted while the dialog was open: an edit does not bring it back.
            AfxMessageBox(IDS_JOB_GONE);
            return false;
        default: // the store said why
            return false;
        }
    }
}
