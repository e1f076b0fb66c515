#include "RunNow.h"

#include "Clock.h"
#include "JobResult.h"
#include "ScanLock.h"

namespace {

void RecordNotStarted(CRegInterface& store, CJob& job, CJobResult::ENotStarted why) {
    WriteNotStartedResult(job.GetName(), why);
    // The result lies beside the job record: its row shows it at once.
    store.ShowJobChanged(job);
}

} // namespace

CJobResult::ENotStarted NotCarriedOut(CJob::EFault fault) {
    return fault == CJob::EFault::Directory ? CJobResult::ENotStarted::BadFolder
                                            : CJobResult::ENotStarted::Refused;
}

ERunNow RunJobNow(CRegInterface& store, CJob& job, const std::string& scanner) {
    if (const CJob::EFault fault = job.CheckCarriable(); fault != CJob::EFault::None) {
        RecordNotStarted(store, job, NotCarriedOut(fault));
        return ERunNow::Unfit;
    }
    if (CScanLock::IsRunning(job.GetName())) {
        RecordNotStarted(store, job, CJobResult::ENotStarted::StillRunning);
        return ERunNow::StillRunning;
    }
    switch (store.StampStart(job, CurrentTime())) {
    case CRegInterface::EWriteIf::Written:
        break;
    case CRegInterface::EWriteIf::Changed:
        return ERunNow::Changed;
    case CRegInterface::EWriteIf::Failed:
        return ERunNow::StoreFailed;
    }
    job.m_strScanner = scanner;
    switch (job.Execute()) {
    case CJob::ERunResult::Started:
        return ERunNow::Started;
    case CJob::ERunResult::StillRunning:
        // Another start took the scan lock between the test and the launch.
        RecordNotStarted(store, job, CJobResult::ENotStarted::StillRunning);
        return ERunNow::StillRunning;
    case CJob::ERunResult::Refused:
        RecordNotStarted(store, job, CJobResult::ENotStarted::Refused);
        return ERunNow::Refused;
    default:
        RecordNotStarted(store, job, CJobResult::ENotStarted::ScannerMissing);
        return ERunNow::NotStarted;
    }
}
