#include "JobCommands.h"

#include "Job.h"
#include "JobDialog.h"
#include "ModalSeam.h"
#include "RegInterface.h"
#include "RegistryDb.h"
#include "StoreDocument.h"

#include <QApplication>

namespace {

constexpr unsigned IDS_NAME_TAKEN = 138;

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

} // namespace

bool RunNewJobCommand(CRegInterface& store, QWidget* pParent) {
    CJob job;
    CJobDialog dlg(&job, OwnerOf(pParent));
    for (;;) {
        if (dlg.DoModal() != IDOK)
            return false;
        if (store.AddJob(job))
            return true;
    }
}

bool RunEditJobCommand(CRegInterface& store, int nRow, const char* pszName, QWidget* pParent) {
    if (pszName == nullptr)
        return false;
    CJob job;
    if (!store.ReadJob(pszName, &job))
        return false;
    // What was read, to tell whether the dialog gave the job a new reference
    // (a new schedule, switched back on).
    CJob read;
    read.CopyLastStart(job);
    CJobDialog dlg(&job, OwnerOf(pParent));
    for (;;) {
        if (dlg.DoModal() != IDOK)
            return false;
        if (NameTakenByOther(store, job.GetName(), pszName)) {
            AfxMessageBox(IDS_NAME_TAKEN);
            continue;
        }
        job.SetRowIndex(nRow);
        // Otherwise the last start is the store's at the moment of writing:
        // a start the server made while the dialog was open stands.
        return store.WriteEditedJob(job, kHintJobChanged, pszName, job.HasSameLastStart(read));
    }
}
