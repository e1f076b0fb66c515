#pragma once

// The job store as the programs use it: failures are shown to the user, the
// document's views hear of every change, and the scan server is signalled
// through "TemporaServer" and every open window through "TemporaClient" after
// each successful change (once it is durable).

#include "NamedEvent.h"
#include "RegInterface.h"
#include "StoreDocument.h"

// Messages shown through the sink.
enum : unsigned {
    kMsgNameTaken = 138,   // AddJob: a job of that name exists
    kMsgCannotSave = 140,  // writing the value failed
    kMsgCannotDelete = 143 // deleting the value failed
};

class CScanRegInterface : public CRegInterface {
public:
    // pSink null: messages go to stderr.
    explicit CScanRegInterface(IMessageSink* pSink = nullptr);

    // The document whose views get the update hints; may stay null.
    void SetDocument(IStoreDocument* pDoc) { m_pDoc = pDoc; }
    void SetMessageSink(IMessageSink* pSink);

    bool AddJob(CJob& job) override;
    bool WriteJob(CJob& job, int nHint, const char* pszOldName) override;
    EChange ChangeJob(const char* pszName, CJob& job, const JobChangeFn& change) override;
    bool DeleteJob(const char* pszName, const std::vector<BYTE>* pExpected = nullptr) override;
    EWriteIf WriteJobIf(const std::vector<BYTE>& expected, CJob& job) override;
    void ShowJobChanged(CJob& job) override { UpdateViews(kHintJobChanged, &job); }

private:
    void UpdateViews(int nHint, CJob* pJob);
    // After a write: the message when it failed, else the views and the server.
    bool Announce(bool bWritten, int nHint, CJob& job);
    // Wakes the server and every window after a durable change.
    void SignalChange();

    IStoreDocument* m_pDoc = nullptr;
    CNamedEvent m_event;
    IMessageSink* m_pSink;
    CStderrMessageSink m_stderrSink;
};
