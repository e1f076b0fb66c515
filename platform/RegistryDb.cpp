#include "RegistryDb.h"

#include <cerrno>
#include <cstring>

#include <QString>
#include <chrono>
#include <random>
#include <sqlite3.h>
#include <thread>

namespace {

// Long enough for another process to finish a durable commit on a slow disk.
constexpr int kBusyTimeoutMs = 5000;

const char* const kSchema = "CREATE TABLE IF NOT EXISTS reg_keys("
                            " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                            " parent INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL,"
                            " UNIQUE(parent, fold));"
                            // AUTOINCREMENT: ids are never reused, so id order is creation order.
                            "CREATE TABLE IF NOT EXISTS reg_values("
                            " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                            " key INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL,"
                            " type INTEGER NOT NULL, data BLOB NOT NULL,"
                            " UNIQUE(key, fold));"
                            "CREATE INDEX IF NOT EXISTS reg_values_order ON reg_values(key, id);";

const char* const kStatements[] = {
    "BEGIN",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "SAVEPOINT reg",
    "RELEASE reg",
    "ROLLBACK TO reg",
    "PRAGMA data_version",
    "SELECT id FROM reg_keys WHERE parent = ?1 AND fold = ?2",
    "INSERT INTO reg_keys(parent, name, fold) VALUES(?1, ?2, ?3)",
    // From the table itself in rowid (= creation) order: an index that
    // damage has shortened cannot hide a value here.
    "SELECT id FROM reg_values NOT INDEXED WHERE key = ?1 ORDER BY id",
    "SELECT name, type, data FROM reg_values WHERE id = ?1",
    "SELECT name, type, data FROM reg_values WHERE key = ?1 AND fold = ?2",
    "UPDATE reg_values SET type = ?3, data = ?4 WHERE key = ?1 AND fold = ?2",
    "INSERT INTO reg_values(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)",
    "DELETE FROM reg_values WHERE key = ?1 AND fold = ?2",
    "SELECT (SELECT count(*) FROM reg_values NOT INDEXED WHERE key = ?1),"
    " (SELECT count(*) FROM reg_values INDEXED BY reg_values_order WHERE key = ?1),"
    " (SELECT count(*) FROM reg_values INDEXED BY sqlite_autoindex_reg_values_1 WHERE key = ?1)",
    "SELECT (SELECT count(*) FROM reg_keys NOT INDEXED),"
    " (SELECT count(*) FROM reg_keys INDEXED BY sqlite_autoindex_reg_keys_1),"
    " (SELECT count(*) FROM reg_values NOT INDEXED),"
    " (SELECT count(*) FROM reg_values INDEXED BY reg_values_order),"
    " (SELECT count(*) FROM reg_values INDEXED BY sqlite_autoindex_reg_values_1)",
};

// Waits for a lock held by another connection. SQLite's own timeout backs off
// to 100 ms sleeps, which lets a busy partner that commits in a loop take the
// lock again and again; short sleeps with jitter give every waiter its turn.
int OnBusy(void* pStart, int nCount) {
    using Clock = std::chrono::steady_clock;
    auto& start = *static_cast<Clock::time_point*>(pStart);
    const auto now = Clock::now();
    if (nCount == 0)
        start = now;
    else if (now - start > std::chrono::milliseconds(kBusyTimeoutMs))
        return 0;
    thread_local std::minstd_rand random(std::random_device{}());
    std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 1800));
    return 1;
}

bool IsAscii(const char* psz) {
    for (; *psz; ++psz)
        if (static_cast<unsigned char>(*psz) >= 0x80)
            return false;
    return true;
}

void BindText(sqlite3_stmt* stmt, int n, const std::string& text) {
    sqlite3_bind_text(stmt, n, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void ReadValueRow(sqlite3_stmt* stmt, CRegistryDb::Value& value) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    value.name.assign(name ? name : "", static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
    value.nType = static_cast<DWORD>(sqlite3_column_int64(stmt, 1));
    value.pData = sqlite3_column_blob(stmt, 2);
    // A damaged file could hold a larger blob than we ever write; such a
    // value reads as empty rather than beyond what callers expect.
    const int nSize = sqlite3_column_bytes(stmt, 2);
    value.nSize = nSize > 0 && static_cast<DWORD>(nSize) <= REG_MAX_VALUE_SIZE && value.pData
                      ? static_cast<size_t>(nSize)
                      : 0;
}

} // namespace

CRegistryDb::~CRegistryDb() {
    for (sqlite3_stmt*& stmt : m_stmt)
        sqlite3_finalize(stmt);
    sqlite3_close_v2(m_db);
}

std::string CRegistryDb::FoldName(const char* pszName) {
    if (IsAscii(pszName)) {
        std::string fold(pszName);
        for (char& c : fold)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return fold;
    }
    const QByteArray raw(pszName);
    const QString text = QString::fromUtf8(raw);
    if (text.toUtf8() != raw)
        return "\xff" + raw.toStdString();
    return text.toCaseFolded().toUtf8().toStdString();
}

LONG CRegistryDb::Error(int rc) const {
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return ERROR_SUCCESS;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_BUSY;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA:
        return ERROR_BADDB;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
    case SQLITE_MISMATCH:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

LONG CRegistryDb::Open(const std::string& path, bool bCreate) {
    const int flags = SQLITE_OPEN_READWRITE | (bCreate ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK && (rc & 0xff) == SQLITE_CANTOPEN) {
        // A file that is there but may not be read is no missing file.
        const int nErrno = sqlite3_system_errno(m_db);
        if (nErrno == EACCES || nErrno == EPERM)
            return ERROR_ACCESS_DENIED;
        if (!bCreate)
            return ERROR_FILE_NOT_FOUND;
    }
    if (rc != SQLITE_OK)
        return Error(rc);
    sqlite3_busy_handler(m_db, OnBusy, &m_busySince);
    // The file is outside input: never run code that a hostile schema brings.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    // Rollback journal and a full sync per commit: several processes share
    // the file, and each acknowledged change must survive a crash.
    rc = sqlite3_exec(m_db, "PRAGMA synchronous=FULL; PRAGMA journal_mode=DELETE;", nullptr,
                      nullptr, nullptr);
    if (rc != SQLITE_OK)
        return Error(rc);
    if (bCreate) {
        const LONG result = EnsureSchema();
        if (result != ERROR_SUCCESS)
            return result;
    }
    return PrepareAll();
}

LONG CRegistryDb::EnsureSchema() {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db,
                                "SELECT count(*) FROM sqlite_master WHERE type = 'table'"
                                " AND name IN ('reg_keys', 'reg_values')",
                                -1, &stmt, nullptr);
    int nTables = 0;
    if (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW)
        nTables = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW)
        return Error(rc);
    if (nTables == 2)
        return ERROR_SUCCESS;
    rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        Rollback();
    return Error(rc);
}

LONG CRegistryDb::PrepareAll() {
    for (int i = 0; i < kStmtCount; ++i) {
        const int rc = sqlite3_prepare_v3(m_db, kStatements[i], -1, SQLITE_PREPARE_PERSISTENT,
                                          &m_stmt[i], nullptr);
        if (rc != SQLITE_OK) {
            // A file without our tables holds no keys at all.
            const LONG result = Error(rc);
            return result == ERROR_REGISTRY_IO_FAILED ? ERROR_FILE_NOT_FOUND : result;
        }
    }
    return ERROR_SUCCESS;
}

void CRegistryDb::Rollback() {
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

LONG CRegistryDb::Step(Stmt s) {
    const int rc = sqlite3_step(m_stmt[s]);
    sqlite3_reset(m_stmt[s]);
    return Error(rc);
}

template <class Body> LONG CRegistryDb::InWriteTransaction(Body body) {
    if (m_bReading)
        return ERROR_ACCESS_DENIED; // a write lock taken from inside a read could deadlock
    const bool bOuter = m_nDepth == 0;
    LONG result = Step(bOuter ? kBeginImmediate : kSavepoint);
    if (result != ERROR_SUCCESS)
        return result;
    ++m_nDepth;
    result = body();
    --m_nDepth;
    // Whatever the end: ids read inside may name rows that are rolled back.
    ++m_nWrites;
    if (result == ERROR_SUCCESS)
        result = Step(bOuter ? kCommit : kRelease);
    if (result == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    if (bOuter) {
        Rollback();
    } else if (!sqlite3_get_autocommit(m_db)) {
        Step(kRollbackTo);
        Step(kRelease);
    }
    return result;
}

LONG CRegistryDb::Transaction(const std::function<LONG()>& body) {
    return InWriteTransaction(body);
}

LONG CRegistryDb::ReadTransaction(const std::function<LONG()>& body) {
    LONG result = BeginRead();
    if (result != ERROR_SUCCESS)
        return result;
    result = body();
    EndRead();
    return result;
}

LONG CRegistryDb::CheckCounts(std::int64_t nKeyId, std::int64_t* pnRows) {
    std::int64_t nVersion = 0;
    LONG result = DataVersion(nVersion);
    if (result != ERROR_SUCCESS)
        return result;
    const auto known = m_checked.find(nKeyId);
    if (!pnRows && known != m_checked.end() && known->second == std::make_pair(nVersion, m_nWrites))
        return ERROR_SUCCESS;
    sqlite3_stmt* stmt = m_stmt[nKeyId < 0 ? kCountKeys : kCountValues];
    if (nKeyId >= 0)
        sqlite3_bind_int64(stmt, 1, nKeyId);
    const int rc = sqlite3_step(stmt);
    bool bAgree = rc == SQLITE_ROW;
    if (bAgree) {
        // Keys: columns 0-1; all values (nKeyId < 0) 2-4; one key's values 0-2.
        const int nFirst = nKeyId < 0 ? 2 : 0;
        bAgree = nKeyId >= 0 || sqlite3_column_int64(stmt, 0) == sqlite3_column_int64(stmt, 1);
        for (int i = nFirst + 1; i < nFirst + 3; ++i)
            bAgree = bAgree && sqlite3_column_int64(stmt, i) == sqlite3_column_int64(stmt, nFirst);
        if (pnRows)
            *pnRows = sqlite3_column_int64(stmt, nFirst);
    }
    sqlite3_reset(stmt);
    if (rc != SQLITE_ROW)
        return Error(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
    if (!bAgree)
        return ERROR_BADDB;
    m_checked[nKeyId] = {nVersion, m_nWrites};
    return ERROR_SUCCESS;
}

LONG CRegistryDb::NotFound(std::int64_t nKeyId) {
    const LONG result = CheckCounts(nKeyId);
    return result == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : result;
}

LONG CRegistryDb::FindKey(std::int64_t nParent, const std::string& name, std::int64_t& nKeyId) {
    sqlite3_stmt* stmt = m_stmt[kFindKey];
    sqlite3_bind_int64(stmt, 1, nParent);
    BindText(stmt, 2, FoldName(name.c_str()));
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW)
        nKeyId = sqlite3_column_int64(stmt, 0);
    sqlite3_reset(stmt);
    // A damaged index must not make a key look missing (and so be made twice).
    if (rc == SQLITE_DONE)
        return NotFound(-1);
    return Error(rc);
}

LONG CRegistryDb::FindKeyPath(std::int64_t& nKeyId, const std::vector<std::string>& parts) {
    for (const std::string& part : parts) {
        const LONG result = FindKey(nKeyId, part, nKeyId);
        if (result != ERROR_SUCCESS)
            return result;
    }
    return ERROR_SUCCESS;
}

LONG CRegistryDb::CreateKeyPath(std::int64_t& nKeyId, const std::vector<std::string>& parts,
                                bool* pbCreated) {
    // Most opens find every component: try without a write lock first.
    std::int64_t nFound = nKeyId;
    if (FindKeyPath(nFound, parts) == ERROR_SUCCESS) {
        nKeyId = nFound;
        return ERROR_SUCCESS;
    }
    return InWriteTransaction([&]() -> LONG {
        for (size_t i = 0; i < parts.size(); ++i) {
            LONG result = FindKey(nKeyId, parts[i], nKeyId);
            if (result != ERROR_FILE_NOT_FOUND) {
                if (result != ERROR_SUCCESS)
                    return result;
                continue;
            }
            sqlite3_stmt* stmt = m_stmt[kInsertKey];
            sqlite3_bind_int64(stmt, 1, nKeyId);
            BindText(stmt, 2, parts[i]);
            BindText(stmt, 3, FoldName(parts[i].c_str()));
            result = Step(kInsertKey);
            if (result != ERROR_SUCCESS)
                return result;
            nKeyId = sqlite3_last_insert_rowid(m_db);
            if (pbCreated && i + 1 == parts.size())
                *pbCreated = true;
        }
        return ERROR_SUCCESS;
    });
}

LONG CRegistryDb::BeginRead() {
    if (m_nDepth == 0) {
        const LONG result = Step(kBegin);
        if (result != ERROR_SUCCESS)
            return result;
        m_bReading = true;
    }
    ++m_nDepth;
    return ERROR_SUCCESS;
}

void CRegistryDb::EndRead() {
    if (--m_nDepth > 0)
        return;
    m_bReading = false;
    if (Step(kCommit) != ERROR_SUCCESS)
        Rollback();
}

LONG CRegistryDb::DataVersion(std::int64_t& nVersion) {
    sqlite3_stmt* stmt = m_stmt[kDataVersion];
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW)
        nVersion = sqlite3_column_int64(stmt, 0);
    sqlite3_reset(stmt);
    return rc == SQLITE_ROW ? ERROR_SUCCESS : Error(rc == SQLITE_DONE ? SQLITE_ERROR : rc);
}

LONG CRegistryDb::ValueIds(std::int64_t nKeyId, std::vector<std::int64_t>& ids) {
    ids.clear();
    sqlite3_stmt* stmt = m_stmt[kValueIds];
    sqlite3_bind_int64(stmt, 1, nKeyId);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(stmt, 0));
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE)
        return Error(rc);
    // Every index must name as many values as the table holds.
    std::int64_t nRows = 0;
    const LONG result = CheckCounts(nKeyId, &nRows);
    if (result != ERROR_SUCCESS)
        return result;
    return nRows == static_cast<std::int64_t>(ids.size()) ? ERROR_SUCCESS : ERROR_BADDB;
}

LONG CRegistryDb::ValueById(std::int64_t nId, Value& value) {
    sqlite3_stmt* stmt = m_stmt[kValueById];
    sqlite3_bind_int64(stmt, 1, nId);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        ReadValueRow(stmt, value);
        return ERROR_SUCCESS;
    }
    // Within one read transaction the id list and the rows agree; a missing
    // row means the list was stale, which the caller sees as the end.
    return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : Error(rc);
}

void CRegistryDb::ResetById() {
    sqlite3_reset(m_stmt[kValueById]);
}

LONG CRegistryDb::FindValue(std::int64_t nKeyId, const char* pszName, Value& value) {
    sqlite3_stmt* stmt = m_stmt[kFindValue];
    sqlite3_bind_int64(stmt, 1, nKeyId);
    BindText(stmt, 2, FoldName(pszName));
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        ReadValueRow(stmt, value);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? NotFound(nKeyId) : Error(rc);
}

void CRegistryDb::ResetFind() {
    sqlite3_reset(m_stmt[kFindValue]);
}

LONG CRegistryDb::UpsertValue(std::int64_t nKeyId, const char* pszName, DWORD dwType,
                              const BYTE* pData, DWORD cbData) {
    const std::string fold = FoldName(pszName);
    // Update in place first, so that a rewritten value keeps its id (and with
    // it its place in the enumeration) and its name's case.
    sqlite3_stmt* stmt = m_stmt[kUpdateValue];
    sqlite3_bind_int64(stmt, 1, nKeyId);
    BindText(stmt, 2, fold);
    sqlite3_bind_int64(stmt, 3, dwType);
    if (cbData)
        sqlite3_bind_blob(stmt, 4, pData, static_cast<int>(cbData), SQLITE_STATIC);
    else
        sqlite3_bind_zeroblob(stmt, 4, 0);
    LONG result = Step(kUpdateValue);
    sqlite3_clear_bindings(stmt);
    if (result != ERROR_SUCCESS || sqlite3_changes(m_db) > 0)
        return result;
    // A value that a damaged index hides would be inserted a second time.
    result = CheckCounts(nKeyId);
    if (result != ERROR_SUCCESS)
        return result;

    stmt = m_stmt[kInsertValue];
    sqlite3_bind_int64(stmt, 1, nKeyId);
    BindText(stmt, 2, pszName);
    BindText(stmt, 3, fold);
    sqlite3_bind_int64(stmt, 4, dwType);
    if (cbData)
        sqlite3_bind_blob(stmt, 5, pData, static_cast<int>(cbData), SQLITE_STATIC);
    else
        sqlite3_bind_zeroblob(stmt, 5, 0);
    result = Step(kInsertValue);
    sqlite3_clear_bindings(stmt);
    return result;
}

LONG CRegistryDb::RemoveValue(std::int64_t nKeyId, const std::string& fold) {
    sqlite3_stmt* stmt = m_stmt[kDeleteValue];
    sqlite3_bind_int64(stmt, 1, nKeyId);
    BindText(stmt, 2, fold);
    const LONG result = Step(kDeleteValue);
    if (result != ERROR_SUCCESS)
        return result;
    return sqlite3_changes(m_db) > 0 ? ERROR_SUCCESS : NotFound(nKeyId);
}

LONG CRegistryDb::SetValue(std::int64_t nKeyId, const char* pszOldName, const char* pszName,
                           DWORD dwType, const BYTE* pData, DWORD cbData) {
    return InWriteTransaction([&]() -> LONG {
        if (pszOldName) {
            const LONG result = RemoveValue(nKeyId, FoldName(pszOldName));
            if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
                return result;
        }
        return UpsertValue(nKeyId, pszName, dwType, pData, cbData);
    });
}

LONG CRegistryDb::RewriteValue(std::int64_t nKeyId, const char* pszOldName, const char* pszName,
                               DWORD dwType, const RegRewriteFn& rewrite) {
    return InWriteTransaction([&]() -> LONG {
        Value value;
        LONG result = FindValue(nKeyId, pszOldName, value);
        std::vector<BYTE> data;
        if (result == ERROR_SUCCESS)
            result = rewrite(value.nType, static_cast<const BYTE*>(value.pData),
                             static_cast<DWORD>(value.nSize), data);
        ResetFind(); // the row's data is gone from here on
        if (result != ERROR_SUCCESS)
            return result;
        if (std::strcmp(pszOldName, pszName) != 0) {
            result = RemoveValue(nKeyId, FoldName(pszOldName));
            if (result != ERROR_SUCCESS)
                return result;
        }
        return UpsertValue(nKeyId, pszName, dwType, data.data(), static_cast<DWORD>(data.size()));
    });
}

LONG CRegistryDb::DeleteValue(std::int64_t nKeyId, const char* pszName) {
    return InWriteTransaction([&]() { return RemoveValue(nKeyId, FoldName(pszName)); });
}

LONG CRegistryDb::UpdateValue(std::int64_t nKeyId, const char* pszName, const RegUpdateFn& update) {
    return InWriteTransaction([&]() -> LONG {
        Value value;
        LONG result = FindValue(nKeyId, pszName, value);
        std::vector<BYTE> newData;
        if (result == ERROR_SUCCESS)
            result = update(value.nType, static_cast<const BYTE*>(value.pData),
                            static_cast<DWORD>(value.nSize), newData);
        const DWORD nType = value.nType;
        ResetFind();
        if (result != ERROR_SUCCESS)
            return result;
        if (newData.size() > REG_MAX_VALUE_SIZE)
            return ERROR_INVALID_PARAMETER;
        return UpsertValue(nKeyId, pszName, nType, newData.data(),
                           static_cast<DWORD>(newData.size()));
    });
}

LONG CRegistryDb::CheckFile(std::string& strDetail) {
    strDetail.clear();
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, "PRAGMA integrity_check(5)", -1, &stmt, nullptr);
    while (rc != SQLITE_DONE && (rc == SQLITE_OK || rc == SQLITE_ROW) &&
           (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        std::string line = text ? text : "";
        // One database only: its heading says nothing.
        const std::string heading = "*** in database main ***\n";
        if (line.starts_with(heading))
            line.erase(0, heading.size());
        if (line != "ok")
            strDetail += (strDetail.empty() ? "" : "; ") + line;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        strDetail = sqlite3_errmsg(m_db);
        return Error(rc);
    }
    if (!strDetail.empty())
        return ERROR_BADDB;
    // The check above misses nothing that CheckCounts would see, but say so
    // in the same terms when the two ever disagree.
    return CheckCounts(-1);
}

LONG CRegistryDb::RebuildIndexes(std::string& strDetail) {
    // An index that names more rows than its table holds means the table
    // lost rows: rebuilding would make that loss final, so it is left to a
    // recovery that reads the pages themselves.
    sqlite3_stmt* stmt = m_stmt[kCountKeys];
    int rc = sqlite3_step(stmt);
    bool bTablesWhole = rc == SQLITE_ROW;
    if (bTablesWhole) {
        bTablesWhole = sqlite3_column_int64(stmt, 0) >= sqlite3_column_int64(stmt, 1);
        for (int i = 3; i < 5; ++i)
            bTablesWhole =
                bTablesWhole && sqlite3_column_int64(stmt, 2) >= sqlite3_column_int64(stmt, i);
    }
    sqlite3_reset(stmt);
    if (rc != SQLITE_ROW) {
        strDetail = sqlite3_errmsg(m_db);
        return Error(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
    }
    if (!bTablesWhole) {
        strDetail = "a table holds fewer rows than its index";
        return ERROR_BADDB;
    }
    return InWriteTransaction([&]() -> LONG {
        rc = sqlite3_exec(m_db, "REINDEX reg_keys; REINDEX reg_values;", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            strDetail = sqlite3_errmsg(m_db);
            return Error(rc);
        }
        // Only a whole file is kept; anything else is rolled back.
        return CheckFile(strDetail);
    });
}
