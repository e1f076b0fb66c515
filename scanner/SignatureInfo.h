#pragma once

// What the signature folder holds, read without loading the engine: each
// database's version and build date from its header (signed databases:
// .cvd, .cld, .cud), the modification time of the plain ones, and the number
// of signatures. A scan is only as good as its newest database, so that one's
// age decides whether the signatures count as stale.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct CSignatureDatabase {
    std::string strFile;      // name within the folder, e.g. "daily.cld"
    unsigned nVersion = 0;    // from the header; 0 for a plain database
    std::int64_t nBuilt = 0;  // build time (header), else modification time
    unsigned nSignatures = 0; // as the library counts them
};

struct CSignatureInfo {
    // Older than this many days, the newest database is stale.
    static constexpr int kStaleDays = 7;

    std::string strFolder;
    bool bFolderMissing = false;
    std::vector<CSignatureDatabase> databases; // by file name
    std::uint64_t nSignatures = 0;
    std::int64_t nNewest = 0; // the newest build time; 0 without databases

    static CSignatureInfo Read(const std::string& folder);

    bool IsEmpty() const { return databases.empty(); }
    // The newest database: null without databases.
    const CSignatureDatabase* Newest() const;
    // Whole days since the newest build (0 for one in the future).
    long long AgeDays(std::time_t now) const;
    bool IsStale(std::time_t now) const;
    // In words, for the window's status bar and the log: "Sygnatury sprzed
    // 12 dni: uruchom freshclam", "Brak sygnatur: zainstaluj
    // clamav-freshclam", or "" when the signatures are current.
    std::string Warning(std::time_t now) const;
    // One database per entry: "daily.cld 27123 z 2026-12-08" ("vex.hdb z
    // 2026-12-09" for a plain one), joined by ", "; "" without databases.
    std::string Versions() const;
    // The newest database in short: "daily.cld 27123 z 2026-12-08".
    std::string NewestText() const;
};

// The signature folder the scanner loads: $VEX_SIGNATURES, else the
// "Signatures" setting, else the folder the signature updater keeps. A hive
// that does not exist is not created to find out.
std::string SignatureFolder();

// "2026-12-08", the local date of t.
std::string LocalDate(std::int64_t t);
