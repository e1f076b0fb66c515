#include "TestJobs.h"

#include "Daily.h"
#include "RegInterface.h"

#include <sqlite3.h>

std::unique_ptr<CJob> MakeJob(const char* pszName, const char* pszDir, bool bValidSchedule) {
    auto job = std::make_unique<CJob>();
    job->SetName(pszName);
    job->GetScanParameter().m_strDirectory = pszDir;
    if (bValidSchedule) {
        CDaily daily;
        const int hour = 13, minute = 30, on = 1;
        daily.Set(true, &hour, &minute, &on, &on, &on, &on, &on, &on, &on);
        job->SetPeriod(daily, COleDateTime(2026, 12, 7, 13, 20, 45));
    }
    return job;
}

std::vector<StoredValue> ReadAllValues() {
    std::vector<StoredValue> values;
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD nameLen = sizeof name;
        BYTE data[8192];
        DWORD size = sizeof data;
        if (RegEnumValue(key, i, name, &nameLen, nullptr, data, &size) != ERROR_SUCCESS)
            break;
        StoredValue value;
        value.name.assign(name, nameLen);
        CJob job;
        value.bLoads = job.Load(data, size);
        if (value.bLoads) {
            value.jobName = job.GetName();
            value.dir = job.GetDirectory();
        }
        values.push_back(value);
    }
    RegCloseKey(key);
    return values;
}

std::string IntegrityCheck() {
    sqlite3* db = nullptr;
    std::string result = "cannot open";
    // Read-write: after a killed writer the first opener rolls its journal back.
    if (sqlite3_open_v2(RegHivePath(HKEY_LOCAL_MACHINE).c_str(), &db, SQLITE_OPEN_READWRITE,
                        nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* stmt = nullptr;
        result = "cannot check";
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return result;
}
