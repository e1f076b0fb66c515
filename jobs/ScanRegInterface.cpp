#include "ScanRegInterface.h"

#include "Job.h"
#include "JobResult.h"

CScanRegInterface::CScanRegInterface(IMessageSink* pSink) : m_event(kServerEventName) {
    SetMessageSink(pSink);
}

void CScanRegInterface::SetMessageSink(IMessageSink* pSink) {
    m_pSink = pSink ? pSink : &m_stderrSink;
}

void CScanRegInterface::UpdateViews(int nHint, CJob* pJob) {
    if (m_pDoc)
        m_pDoc->UpdateAllViews(nullptr, nHint, pJob);
}

bool CScanRegInterface::AddJob(CJob& job) {
    if (ReadJob(job.GetName(), nullptr)) {
        m_pSink->ShowMessage(kMsgNameTaken);
        return false;
    }
    // A new job has never run, whatever a former job of its name left.
    DeleteJobResult(job.GetName());
    return WriteJob(job, kHintJobAdded, nullptr);
}

bool CScanRegInterface::WriteJob(CJob& job, int nHint, const char* pszOldName) {
    return Announce(CRegInterface::WriteJob(job, nHint, pszOldName), nHint, job);
}

bool CScanRegInterface::WriteEditedJob(CJob& job, int nHint, const char* pszOldName,
                                       bool bKeepStoredStart) {
    return Announce(CRegInterface::WriteEditedJob(job, nHint, pszOldName, bKeepStoredStart), nHint,
                    job);
}

bool CScanRegInterface::Announce(bool bWritten, int nHint, CJob& job) {
    if (!bWritten) {
        m_pSink->ShowMessage(kMsgCannotSave);
        return false;
    }
    // The change is durable now: first the views, then the server.
    UpdateViews(nHint, &job);
    m_event.Set();
    return true;
}

CScanRegInterface::EWriteIf CScanRegInterface::WriteJobIf(const std::vector<BYTE>& expected,
                                                          CJob& job) {
    const EWriteIf result = CRegInterface::WriteJobIf(expected, job);
    if (result == EWriteIf::Failed)
        m_pSink->ShowMessage(kMsgCannotSave);
    if (result != EWriteIf::Written)
        return result;
    UpdateViews(kHintJobChanged, &job);
    m_event.Set();
    return result;
}

bool CScanRegInterface::DeleteJob(const char* pszName) {
    if (!CRegInterface::DeleteJob(pszName)) {
        m_pSink->ShowMessage(kMsgCannotDelete);
        return false;
    }
    UpdateViews(kHintJobsDeleted, nullptr);
    m_event.Set();
    return true;
}
