#include "ScanRegInterface.h"

#include "Job.h"

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
    const EChange result = InsertJob(job);
    if (result == EChange::NameTaken) {
        m_pSink->ShowMessage(kMsgNameTaken);
        return false;
    }
    return Announce(result == EChange::Written, kHintJobAdded, job);
}

bool CScanRegInterface::WriteJob(CJob& job, int nHint, const char* pszOldName) {
    return Announce(CRegInterface::WriteJob(job, nHint, pszOldName), nHint, job);
}

CScanRegInterface::EChange CScanRegInterface::ChangeJob(const char* pszName, CJob& job,
                                                        const JobChangeFn& change) {
    const EChange result = CRegInterface::ChangeJob(pszName, job, change);
    switch (result) {
    case EChange::Written:
        Announce(true, kHintJobChanged, job);
        break;
    case EChange::NameTaken:
        m_pSink->ShowMessage(kMsgNameTaken);
        break;
    case EChange::Failed:
        Announce(false, kHintJobChanged, job);
        break;
    default: // the caller says what it means to it
        break;
    }
    return result;
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

bool CScanRegInterface::DeleteJob(const char* pszName, const std::vector<BYTE>* pExpected) {
    if (!CRegInterface::DeleteJob(pszName, pExpected)) {
        m_pSink->ShowMessage(kMsgCannotDelete);
        return false;
    }
    UpdateViews(kHintJobsDeleted, nullptr);
    m_event.Set();
    return true;
}
