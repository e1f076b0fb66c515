#include "JobDialog.h"

#include "DataExchange.h"
#include "Job.h"
#include "ModalSeam.h"
#include "PlanDialog.h"
#include "ScanParamDialog.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr unsigned kMsgNameRefused = 412; // %1: the fault

void CopyToDialog(const CScanParameter& p, CScanParamDialog& dlg) {
    dlg.m_bHeuristic = p.m_bHeuristic ? 1 : 0;
    dlg.m_nLogMode = static_cast<int>(p.m_nLogMode);
    dlg.m_nReferenceCheck = static_cast<int>(p.m_nReferenceCheck);
    dlg.m_nReferenceDiffAction = static_cast<int>(p.m_nReferenceDiffAction);
    dlg.m_nInfectionAction = static_cast<int>(p.m_nInfectionAction);
    dlg.m_nWindowMode = static_cast<int>(p.m_nWindowMode);
    dlg.m_nEndMode = static_cast<int>(p.m_nEndMode);
    dlg.m_bSubdirectories = p.m_bSubdirectories ? 1 : 0;
    dlg.m_strDirectory = p.m_strDirectory;
    dlg.m_nFileSelection = static_cast<int>(p.m_nFileSelection);
}

void CopyFromDialog(const CScanParamDialog& dlg, CScanParameter& p) {
    p.m_bHeuristic = dlg.m_bHeuristic != 0;
    p.m_nLogMode = static_cast<DWORD>(dlg.m_nLogMode);
    p.m_nReferenceCheck = static_cast<DWORD>(dlg.m_nReferenceCheck);
    p.m_nReferenceDiffAction = static_cast<DWORD>(dlg.m_nReferenceDiffAction);
    p.m_nInfectionAction = static_cast<DWORD>(dlg.m_nInfectionAction);
    p.m_nWindowMode = static_cast<DWORD>(dlg.m_nWindowMode);
    p.m_nEndMode = static_cast<DWORD>(dlg.m_nEndMode);
    p.m_bSubdirectories = dlg.m_bSubdirectories != 0;
    p.m_strDirectory = dlg.m_strDirectory;
    p.m_nFileSelection = static_cast<DWORD>(dlg.m_nFileSelection);
}

} // namespace

CJobDialog::CJobDialog(CJob* pJob, QWidget* pParent)
    : CTemplateDialog(res::IDD_JOB, pParent), m_pJob(pJob) {
    connect(Item<QPushButton>(res::IDC_JOB_OPTIONS), &QPushButton::clicked, this,
            [this] { OnScanOptions(); });
    connect(Item<QPushButton>(res::IDC_JOB_SCHEDULE), &QPushButton::clicked, this,
            [this] { OnSchedule(); });
    connect(Item<QLineEdit>(res::IDC_JOB_NAME), &QLineEdit::textEdited, this,
            [this] { UpdateData(true); });
}

void CJobDialog::DoDataExchange(CDataExchange& dx) {
    if (!dx.IsSaving()) {
        m_strName = m_pJob->GetName();
        m_bActive = m_pJob->IsActive() ? 1 : 0;
    }
    DDX_Text(dx, res::IDC_JOB_NAME, m_strName);
    DDX_Check(dx, res::IDC_JOB_ACTIVE, m_bActive);
    if (dx.IsSaving()) {
        m_pJob->SetName(m_strName.c_str());
        m_pJob->SetActive(m_bActive != 0);
    }
    const bool bScheduleComplete = m_pJob->IsPeriodValid();
    GetDlgItem(res::IDC_JOB_ACTIVE)->setEnabled(bScheduleComplete);
    SetInputComplete(!m_strName.empty() && bScheduleComplete);
}

void CJobDialog::OnOK() {
    if (!UpdateData(true))
        return;
    if (const CJob::EFault fault = CJob::CheckName(m_strName);
        fault == CJob::EFault::ControlInName) {
        const QString text = QString::fromUtf8(LoadResString(kMsgNameRefused))
                                 .arg(QString::fromStdString(CJob::DescribeFault(fault)));
        AfxMessageBox(text.toUtf8().constData(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    EndDialog(IDOK);
}

void CJobDialog::OnScanOptions() {
    UpdateData(true);
    CScanParamDialog dlg(this);
    CopyToDialog(m_pJob->GetScanParameter(), dlg);
    if (dlg.DoModal() != IDOK)
        return;
    CopyFromDialog(dlg, m_pJob->GetScanParameter());
    UpdateData(false);
}

void CJobDialog::OnSchedule() {
    UpdateData(true);
    CPlanDialog dlg(this);
    dlg.InitFromPeriod(*m_pJob->GetPeriod());
    // The new schedule counts from the moment the dialog opened.
    const COleDateTime now = COleDateTime::GetCurrentTime();
    if (dlg.DoModal() != IDOK || dlg.m_pResult == nullptr)
        return;
    m_pJob->SetPeriod(*dlg.m_pResult, now);
    // Confirming a schedule switches the job on.
    m_pJob->SetActive(true);
    UpdateData(false);
}
