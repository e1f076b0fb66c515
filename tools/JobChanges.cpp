#include "JobChanges.h"

#include "Daily.h"
#include "Job.h"
#include "LocalInstant.h"

namespace {

constexpr DWORD kEndAlwaysExit = 2;
constexpr DWORD kWindowBackground = 1;

} // namespace

bool ApplyScanChanges(const CJobChanges& changes, CScanParameter& scan, std::string& strError) {
    if (changes.directory)
        scan.m_strDirectory = *changes.directory;
    if (changes.subdirectories)
        scan.m_bSubdirectories = *changes.subdirectories;
    if (changes.allFiles)
        scan.m_nFileSelection = *changes.allFiles ? 0 : 1;
    if (changes.heuristic)
        scan.m_bHeuristic = *changes.heuristic;
    if (changes.referenceCheck)
        scan.m_nReferenceCheck = *changes.referenceCheck ? 1 : 0;
    if (changes.infectionAction)
        scan.m_nInfectionAction = *changes.infectionAction;
    if (changes.referenceDiffAction)
        scan.m_nReferenceDiffAction = *changes.referenceDiffAction;
    if (changes.logMode)
        scan.m_nLogMode = *changes.logMode;
    if (changes.endMode)
        scan.m_nEndMode = *changes.endMode;
    if (changes.background) {
        scan.m_nWindowMode = *changes.background ? kWindowBackground : 0;
        // As in the scan options dialog: in the background the scanner
        // always exits when the scan is over.
        if (*changes.background && !changes.endMode)
            scan.m_nEndMode = kEndAlwaysExit;
    }
    if (scan.m_nWindowMode == kWindowBackground && scan.m_nEndMode != kEndAlwaysExit) {
        strError = "--background kończy skaner zawsze (--end exit)";
        return false;
    }
    return true;
}

bool ApplyJobChanges(const CJobChanges& changes, CJob& job, const COleDateTime& now,
                     std::string& strError) {
    if (changes.pPeriod) {
        const CPeriod& old = *job.GetPeriod();
        std::unique_ptr<CPeriod> period(changes.pPeriod->Clone());
        if (!changes.idleMinutes)
            period->SetIdle(old.GetIdle(), old.GetIdleMinutes());
        job.SetPeriod(*period, now);
    }
    CPeriod& period = *job.GetPeriod();
    if (changes.days) {
        if (period.GetKind() != PERIOD_DAILY) {
            strError = "--days działa tylko z harmonogramem codziennym (--daily)";
            return false;
        }
        const std::array<int, 7>& f = *changes.days;
        static_cast<CDaily&>(period).Set(true, nullptr, nullptr, &f[0], &f[1], &f[2], &f[3], &f[4],
                                         &f[5], &f[6]);
    }
    // Switched off, the idle time keeps its minutes for the next switch on.
    if (changes.idleMinutes)
        period.SetIdle(*changes.idleMinutes > 0,
                       *changes.idleMinutes > 0 ? *changes.idleMinutes : period.GetIdleMinutes());
    if (!ApplyScanChanges(changes, job.GetScanParameter(), strError))
        return false;
    if (changes.active)
        job.SetActive(*changes.active);
    if (changes.pPeriod)
        job.SkipDueStart(InstantOf(now));
    if (changes.newName)
        job.SetName(changes.newName->c_str());
    return true;
}
