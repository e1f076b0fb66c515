#include "ScanRegInterface.h"

#include "Job.h"
#include "NamedBroadcast.h"

#include <string>

std::string WithCause(unsigned nStringId, const std::string& strCause) {
    return std::string(LoadResString(nStringId)) + " Przyczyna: " + strCause + ".";
}

std::string StoreFailureText(LONG nResult) {
    switch (nResult) {
    case ERROR_DISK_FULL:
        return "brak miejsca na dysku";
    case ERROR_BUSY:
        return "baza analiz jest zablokowana przez inny program";
    case ERROR_ACCESS_DENIED:
        return "brak dostępu do pliku bazy analiz " + RegHivePath(HKEY_LOCAL_MACHINE) +
               ": sprawdź jego prawa i właściciela";
    case ERROR_BADDB:
        return "baza analiz jest uszkodzona";
    case ERROR_FILE_NOT_FOUND:
        return "baza analiz albo jej klucz analiz nie istnieje";
    case ERROR_INVALID_HANDLE:
        return "baza analiz nie jest otwarta";
    case ERROR_INVALID_PARAMETER:
        return "nazwa albo ustawienia analizy, których baza nie przyjmuje";
    case ERROR_REGISTRY_IO_FAILED:
        return "błąd odczytu albo zapisu pliku bazy analiz";
    default:
        return "błąd bazy analiz " + std::to_string(nResult) + " (" + RegErrorText(nResult) + ")";
    }
}

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
        m_pSink->ShowFailure(kMsgCannotSave, StoreFailureText(m_nLastError));
        return false;
    }
    // The change is durable now: first the views, then the others.
    UpdateViews(nHint, &job);
    SignalChange();
    return true;
}

void CScanRegInterface::SignalChange() {
    m_event.Set();
    // Every open window re-reads its list, this program's own included.
    CNamedBroadcast(kClientEventName).Set();
}

CScanRegInterface::EWriteIf CScanRegInterface::WriteJobIf(const std::vector<BYTE>& expected,
                                                          CJob& job) {
    const EWriteIf result = CRegInterface::WriteJobIf(expected, job);
    if (result == EWriteIf::Failed)
        m_pSink->ShowFailure(kMsgCannotSave, StoreFailureText(m_nLastError));
    if (result != EWriteIf::Written)
        return result;
    UpdateViews(kHintJobChanged, &job);
    SignalChange();
    return result;
}

bool CScanRegInterface::DeleteJob(const char* pszName, const std::vector<BYTE>* pExpected) {
    if (!CRegInterface::DeleteJob(pszName, pExpected)) {
        // A job gone or changed meanwhile is no failure of the store.
        if (m_nLastError == ERROR_FILE_NOT_FOUND || m_nLastError == ERROR_REVISION_MISMATCH)
            m_pSink->ShowMessage(kMsgCannotDelete);
        else
            m_pSink->ShowFailure(kMsgCannotDelete, StoreFailureText(m_nLastError));
        return false;
    }
    UpdateViews(kHintJobsDeleted, nullptr);
    SignalChange();
    return true;
}
