#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// What a file is, as far as its metadata tells without reading it. A write,
// a mode or owner change, a rename over it or a new inode each change one
// of these; the status-change time cannot be set back by anyone but root.
struct CFileIdentity {
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;

    static CFileIdentity Of(const struct stat& st);
    bool operator==(const CFileIdentity&) const = default;
};

// Files scanned whole and found clean, kept between scans in one SQLite file
// per state root (mode 0600), so that a repeated scan reads only what
// changed. An entry holds under one context only: a digest of the engine,
// the signature files and the options that change what a scan finds; a scan
// under another context sees none of it. At most kMaxEntries are kept; the
// ones least recently seen go first.
class CVerdictCache {
public:
    static constexpr std::int64_t kMaxEntries = 2000000;

    CVerdictCache() = default;
    ~CVerdictCache();
    CVerdictCache(const CVerdictCache&) = delete;
    CVerdictCache& operator=(const CVerdictCache&) = delete;

    // Opens the file at path (made when missing) for context. A file that is
    // damaged, not ours or open to others is discarded and made anew; note
    // then says so, for the log. False when no cache can be had at all.
    bool Open(const std::string& path, const std::string& context, std::string& note);
    bool IsOpen() const { return m_pDb != nullptr; }

    // True when the file was scanned whole and found clean under this
    // context; digest receives its SHA-256 (hex), empty when not taken.
    bool Lookup(const CFileIdentity& id, std::string& digest);
    // Remembers a file scanned whole and found clean.
    void Add(const CFileIdentity& id, const std::string& digest);
    // Stores what this scan learnt and drops what is beyond the bound.
    bool Save(std::string& error);

    // Entries under every context, and the contexts known, for the status.
    static bool Describe(const std::string& path, std::int64_t& entries,
                         std::vector<std::string>& contexts);

private:
    bool OpenFile(const std::string& path, std::string& note);
    bool UseContext(const std::string& context);
    bool Prepare();
    void Close();

    sqlite3* m_pDb = nullptr;
    sqlite3_stmt* m_pLookup = nullptr;
    std::int64_t m_nContext = 0;
    std::int64_t m_nNow = 0;
    std::mutex m_mutex;
    std::vector<std::pair<CFileIdentity, std::string>> m_added;
    std::vector<CFileIdentity> m_seen;
};
