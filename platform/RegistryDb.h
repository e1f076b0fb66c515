#pragma once

// The SQLite side of the registry: one connection to one hive file, with the
// prepared statements the registry calls need. Internal to platform/.

#include "Registry.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class CRegistryDb {
public:
    // A value row. pData points into the current statement row and stays
    // valid until the matching Reset call.
    struct Value {
        std::string name;
        DWORD nType = REG_NONE;
        const void* pData = nullptr;
        size_t nSize = 0;
    };

    CRegistryDb() = default;
    ~CRegistryDb();
    CRegistryDb(const CRegistryDb&) = delete;
    CRegistryDb& operator=(const CRegistryDb&) = delete;

    // bCreate: create the file and its tables when missing.
    LONG Open(const std::string& path, bool bCreate);

    // Walks parts below nKeyId; on success nKeyId is the last component's id.
    LONG FindKeyPath(std::int64_t& nKeyId, const std::vector<std::string>& parts);
    LONG CreateKeyPath(std::int64_t& nKeyId, const std::vector<std::string>& parts,
                       bool* pbCreated);

    // A read transaction around several statements; inside a transaction
    // already open on this connection it only counts the nesting.
    LONG BeginRead();
    void EndRead();
    // Runs body as one write transaction (BEGIN IMMEDIATE), or as a savepoint
    // of the one already open: committed when body returns ERROR_SUCCESS,
    // else rolled back. Writes inside a read transaction are refused.
    LONG Transaction(const std::function<LONG()>& body);
    // Runs body in one read transaction, so that every read in it sees the
    // same state of the file.
    LONG ReadTransaction(const std::function<LONG()>& body);
    LONG DataVersion(std::int64_t& nVersion);
    LONG ValueIds(std::int64_t nKeyId, std::vector<std::int64_t>& ids);
    LONG ValueById(std::int64_t nId, Value& value);
    void ResetById();
    LONG FindValue(std::int64_t nKeyId, const char* pszName, Value& value);
    void ResetFind();

    // Deletes pszOldName (when given) and upserts pszName, in one transaction.
    LONG SetValue(std::int64_t nKeyId, const char* pszOldName, const char* pszName, DWORD dwType,
                  const BYTE* pData, DWORD cbData);
    LONG DeleteValue(std::int64_t nKeyId, const char* pszName);
    // Read, check and rewrite of one existing value under one write lock.
    LONG UpdateValue(std::int64_t nKeyId, const char* pszName, const RegUpdateFn& update);

    // Reads pszOldName, lets rewrite make the new data and writes it under
    // pszName (deleting pszOldName when the names differ), in one transaction.
    LONG RewriteValue(std::int64_t nKeyId, const char* pszOldName, const char* pszName,
                      DWORD dwType, const RegRewriteFn& rewrite);

    // The whole file as SQLite checks it: ERROR_SUCCESS, or ERROR_BADDB with
    // SQLite's own findings (at most a few) in strDetail.
    LONG CheckFile(std::string& strDetail);
    // Rebuilds the indexes from the tables in one transaction, when every
    // table holds at least the rows its indexes name (so no row is lost) and
    // the file is whole afterwards; otherwise nothing changes and strDetail
    // says why. ERROR_SUCCESS when the file is whole now.
    LONG RebuildIndexes(std::string& strDetail);

    // Writes committed through this connection; the readers' cache uses it
    // because data_version does not count a connection's own commits.
    std::uint64_t WriteCount() const { return m_nWrites; }

    // The form in which names are compared: full Unicode case folding for
    // valid UTF-8; other byte strings compare exactly (marked with a 0xFF
    // byte, which valid UTF-8 never contains, so the two kinds never meet).
    static std::string FoldName(const char* pszName);

private:
    enum Stmt {
        kBegin,
        kBeginImmediate,
        kCommit,
        kRollback,
        kSavepoint,
        kRelease,
        kRollbackTo,
        kDataVersion,
        kFindKey,
        kInsertKey,
        kValueIds,
        kValueById,
        kFindValue,
        kUpdateValue,
        kInsertValue,
        kDeleteValue,
        kCountValues,
        kCountKeys,
        kStmtCount
    };

    LONG EnsureSchema();
    LONG PrepareAll();
    LONG Step(Stmt s);
    // Runs body inside BEGIN IMMEDIATE ... COMMIT; rolls back when either fails.
    template <class Body> LONG InWriteTransaction(Body body);
    LONG UpsertValue(std::int64_t nKeyId, const char* pszName, DWORD dwType, const BYTE* pData,
                     DWORD cbData);
    LONG RemoveValue(std::int64_t nKeyId, const std::string& fold);
    LONG FindKey(std::int64_t nParent, const std::string& name, std::int64_t& nKeyId);
    // Damage that hides rows: the values of a key (or all keys, nKeyId < 0)
    // as the table holds them against what each index holds. ERROR_BADDB
    // when they differ. Remembered until the file changes.
    LONG CheckCounts(std::int64_t nKeyId, std::int64_t* pnRows = nullptr);
    // The result of a lookup that found nothing: not found, or damage.
    LONG NotFound(std::int64_t nKeyId);
    LONG Error(int rc) const;
    void Rollback();

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt[kStmtCount] = {};
    std::uint64_t m_nWrites = 0;
    int m_nDepth = 0;        // open transactions and savepoints on this connection
    bool m_bReading = false; // the outermost one is a read transaction
    // Keys whose counts agreed, with the data version and write count then.
    std::map<std::int64_t, std::pair<std::int64_t, std::uint64_t>> m_checked;
    std::chrono::steady_clock::time_point m_busySince; // start of the current lock wait
};
