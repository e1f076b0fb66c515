#include "VerdictCache.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS contexts(id INTEGER PRIMARY KEY, digest TEXT UNIQUE NOT NULL,"
    " used INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS verdicts(ctx INTEGER NOT NULL, dev INTEGER NOT NULL,"
    " ino INTEGER NOT NULL, size INTEGER NOT NULL, mtime INTEGER NOT NULL,"
    " ctime INTEGER NOT NULL, sha256 TEXT NOT NULL, seen INTEGER NOT NULL,"
    " PRIMARY KEY(ctx, dev, ino)) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS verdicts_seen ON verdicts(seen);";

// Contexts not used for this long are dropped with their entries: the
// signatures they were made with are long gone.
constexpr std::int64_t kContextLifetime = 30 * 24 * 3600;

std::int64_t Signed(std::uint64_t v) {
    std::int64_t s;
    std::memcpy(&s, &v, sizeof s);
    return s;
}

// A finished statement, whatever happens on the way.
struct CStatement {
    sqlite3_stmt* p = nullptr;
    CStatement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &p, nullptr); }
    ~CStatement() { sqlite3_finalize(p); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;
    explicit operator bool() const { return p != nullptr; }
};

bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void BindIdentity(sqlite3_stmt* stmt, std::int64_t context, const CFileIdentity& id) {
    sqlite3_bind_int64(stmt, 1, context);
    sqlite3_bind_int64(stmt, 2, Signed(id.dev));
    sqlite3_bind_int64(stmt, 3, Signed(id.ino));
}

// Why an existing file cannot be trusted, or nothing.
std::string Distrust(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return std::string();
    if (!S_ISREG(st.st_mode))
        return "nie jest zwykłym plikiem";
    if (st.st_uid != ::geteuid())
        return "należy do innego użytkownika (" + std::to_string(st.st_uid) + ")";
    if ((st.st_mode & 077) != 0)
        return "mogą ją czytać lub zmieniać inni użytkownicy";
    return std::string();
}

} // namespace

CFileIdentity CFileIdentity::Of(const struct stat& st) {
    CFileIdentity id;
    id.dev = static_cast<std::uint64_t>(st.st_dev);
    id.ino = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::int64_t>(st.st_size);
    id.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.ctimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return id;
}

CVerdictCache::~CVerdictCache() {
    Close();
}

void CVerdictCache::Close() {
    sqlite3_finalize(m_pLookup);
    m_pLookup = nullptr;
    sqlite3_close(m_pDb);
    m_pDb = nullptr;
}

bool CVerdictCache::Open(const std::string& path, const std::string& context, std::string& note) {
    m_nNow = static_cast<std::int64_t>(std::time(nullptr));
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (OpenFile(path, note) && UseContext(context) && Prepare())
            return true;
        const int code = m_pDb ? sqlite3_extended_errcode(m_pDb) & 0xff : SQLITE_CANTOPEN;
        Close();
        // Busy with another scan's write, or out of space: no cache this time.
        if (code != SQLITE_CORRUPT && code != SQLITE_NOTADB && code != SQLITE_ERROR)
            return false;
        ::unlink(path.c_str());
        note = "pamięć wyników " + path + " była uszkodzona; utworzono ją od nowa";
    }
    return false;
}

bool CVerdictCache::UseContext(const std::string& context) {
    CStatement add(m_pDb, "INSERT INTO contexts(digest, used) VALUES(?, ?)"
                          " ON CONFLICT(digest) DO UPDATE SET used = excluded.used");
    CStatement find(m_pDb, "SELECT id FROM contexts WHERE digest = ?");
    if (!add || !find)
        return false;
    sqlite3_bind_text(add.p, 1, context.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(add.p, 2, m_nNow);
    sqlite3_bind_text(find.p, 1, context.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(add.p) != SQLITE_DONE || sqlite3_step(find.p) != SQLITE_ROW)
        return false;
    m_nContext = sqlite3_column_int64(find.p, 0);
    return true;
}

bool CVerdictCache::OpenFile(const std::string& path, std::string& note) {
    if (const std::string why = Distrust(path); !why.empty()) {
        if (::unlink(path.c_str()) != 0)
            return false;
        note = "pamięć wyników " + path + " " + why + "; utworzono ją od nowa";
    }
    // Made here with owner-only rights, before the library sees it.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    if (sqlite3_open_v2(path.c_str(), &m_pDb, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return false;
    sqlite3_busy_timeout(m_pDb, 5000);
    // The file is outside input: never run code that a hostile schema brings.
    sqlite3_db_config(m_pDb, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_pDb, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    // A small page cache: lookups go by key, and the scan's memory belongs to
    // the engine.
    return Exec(m_pDb, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"
                       " PRAGMA cache_size=-256;") &&
           Exec(m_pDb, kSchema);
}

bool CVerdictCache::Prepare() {
    return sqlite3_prepare_v3(m_pDb,
                              "SELECT size, mtime, ctime, sha256 FROM verdicts"
                              " WHERE ctx = ? AND dev = ? AND ino = ?",
                              -1, SQLITE_PREPARE_PERSISTENT, &m_pLookup, nullptr) == SQLITE_OK;
}

bool CVerdictCache::Lookup(const CFileIdentity& id, std::string& digest) {
    std::lock_guard lock(m_mutex);
    if (!m_pLookup)
        return false;
    sqlite3_reset(m_pLookup);
    BindIdentity(m_pLookup, m_nContext, id);
    if (sqlite3_step(m_pLookup) != SQLITE_ROW || sqlite3_column_int64(m_pLookup, 0) != id.size ||
        sqlite3_column_int64(m_pLookup, 1) != id.mtimeNs ||
        sqlite3_column_int64(m_pLookup, 2) != id.ctimeNs)
        return false;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_pLookup, 3));
    digest = text ? text : "";
    m_seen.push_back(id);
    return true;
}

void CVerdictCache::Add(const CFileIdentity& id, const std::string& digest) {
    std::lock_guard lock(m_mutex);
    if (m_pDb)
        m_added.emplace_back(id, digest);
}

bool CVerdictCache::Save(std::string& error) {
    std::lock_guard lock(m_mutex);
    if (!m_pDb || (m_added.empty() && m_seen.empty()))
        return true;
    bool ok = Exec(m_pDb, "BEGIN IMMEDIATE");
    {
        CStatement put(m_pDb, "INSERT OR REPLACE INTO verdicts VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
        ok = ok && put;
        for (const auto& [id, digest] : m_added) {
            if (!ok)
                break;
            sqlite3_reset(put.p);
            BindIdentity(put.p, m_nContext, id);
            sqlite3_bind_int64(put.p, 4, id.size);
            sqlite3_bind_int64(put.p, 5, id.mtimeNs);
            sqlite3_bind_int64(put.p, 6, id.ctimeNs);
            sqlite3_bind_text(put.p, 7, digest.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_int64(put.p, 8, m_nNow);
            ok = sqlite3_step(put.p) == SQLITE_DONE;
        }
        CStatement touch(m_pDb,
                         "UPDATE verdicts SET seen = ? WHERE ctx = ? AND dev = ? AND ino = ?");
        ok = ok && touch;
        for (const CFileIdentity& id : m_seen) {
            if (!ok)
                break;
            sqlite3_reset(touch.p);
            sqlite3_bind_int64(touch.p, 1, m_nNow);
            sqlite3_bind_int64(touch.p, 2, m_nContext);
            sqlite3_bind_int64(touch.p, 3, Signed(id.dev));
            sqlite3_bind_int64(touch.p, 4, Signed(id.ino));
            ok = sqlite3_step(touch.p) == SQLITE_DONE;
        }
    }
    if (ok && !m_added.empty()) {
        const std::string bound =
            "DELETE FROM verdicts WHERE ctx IN (SELECT id FROM contexts WHERE used < " +
            std::to_string(m_nNow - kContextLifetime) +
            ");"
            "DELETE FROM contexts WHERE used < " +
            std::to_string(m_nNow - kContextLifetime) +
            ";"
            "DELETE FROM verdicts WHERE (ctx, dev, ino) IN (SELECT ctx, dev, ino FROM verdicts"
            " ORDER BY seen LIMIT max(0, (SELECT count(*) FROM verdicts) - " +
            std::to_string(kMaxEntries) + "))";
        ok = Exec(m_pDb, bound.c_str());
    }
    ok = ok && Exec(m_pDb, "COMMIT");
    if (!ok) {
        error = std::string("nie można zapisać pamięci wyników: ") + sqlite3_errmsg(m_pDb);
        Exec(m_pDb, "ROLLBACK");
    }
    m_added.clear();
    m_seen.clear();
    return ok;
}

bool CVerdictCache::Describe(const std::string& path, std::int64_t& entries,
                             std::vector<std::string>& contexts) {
    sqlite3* db = nullptr;
    entries = 0;
    contexts.clear();
    bool ok = Distrust(path).empty() &&
              sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        CStatement count(db, "SELECT count(*) FROM verdicts");
        CStatement list(db, "SELECT digest FROM contexts ORDER BY used DESC");
        ok = count && list && sqlite3_step(count.p) == SQLITE_ROW;
        if (ok)
            entries = sqlite3_column_int64(count.p, 0);
        while (ok && sqlite3_step(list.p) == SQLITE_ROW)
            if (const auto* text = sqlite3_column_text(list.p, 0))
                contexts.emplace_back(reinterpret_cast<const char*>(text));
    }
    sqlite3_close(db);
    return ok;
}
