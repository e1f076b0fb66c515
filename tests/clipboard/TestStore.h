#pragma once

// A job store in a fresh state root for one test, with recorders for the
// views' hints and the store's messages.

#include "Job.h"
#include "Registry.h"
#include "ScanRegInterface.h"
#include "StoreDocument.h"
#include "TempStateRoot.h"

#include "Hourly.h"
#include "OleDateTime.h"

#include <string>
#include <vector>

class CRecordingDoc : public IStoreDocument {
public:
    void UpdateAllViews(void*, int nHint, CJob*) override { hints.push_back(nHint); }
    std::vector<int> hints;
};

class CRecordingSink : public IMessageSink {
public:
    void ShowMessage(unsigned nStringId) override { ids.push_back(nStringId); }
    std::vector<unsigned> ids;
};

// Creates the job key under the current state root and opens a store on it.
inline bool OpenTestStore(CScanRegInterface& store) {
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return store.Open(kJobKeyPath);
}

// An active hourly job that has started once.
inline void MakeStartedJob(CJob& job, const char* name, const char* dir = "/home") {
    job.SetName(name);
    job.GetScanParameter().m_strDirectory = dir;
    CHourly hourly;
    hourly.SetMinute(true, 15);
    job.SetPeriod(hourly, COleDateTime(2026, 12, 7, 13, 20, 0));
    job.SetLastStart(COleDateTime(2026, 12, 8, 9, 0, 0), true);
}

inline std::vector<std::string> StoredNames(CRegInterface& store) {
    std::vector<std::string> names;
    DWORD index = 0;
    CJob job;
    while (store.EnumJob(&index, &job))
        names.emplace_back(job.GetName());
    return names;
}
