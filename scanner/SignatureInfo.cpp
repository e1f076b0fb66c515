#include "SignatureInfo.h"

#include "ClamLibrary.h"
#include "Registry.h"
#include "Settings.h"
#include "StringTable.h"

#include <algorithm>
#include <clamav.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

enum : unsigned {
    kTextStale = 350, // "%lld": days
    kTextMissing = 351,
};

constexpr std::int64_t kDaySeconds = 24 * 60 * 60;

bool HasHeader(const std::string& ext) {
    return ext == ".cvd" || ext == ".cld" || ext == ".cud";
}

// Files of the signature databases by their extensions.
bool IsDatabase(const std::string& ext) {
    static const char* const kPlain[] = {".hdb", ".hsb", ".mdb",  ".msb", ".ndb", ".ldb", ".cdb",
                                         ".fp",  ".sfp", ".ign2", ".pdb", ".wdb", ".yar", ".yara",
                                         ".ftm", ".crb", ".ign",  ".gdb", ".idb", ".cbc"};
    return HasHeader(ext) || std::any_of(std::begin(kPlain), std::end(kPlain),
                                         [&](const char* known) { return ext == known; });
}

// The header's numbers, as the library parses them. A damaged header leaves
// the database without version, dated by its modification time.
void ReadHeader(const std::string& path, CSignatureDatabase& db) {
    if (cl_cvd* head = cl_cvdhead(path.c_str())) {
        db.nVersion = head->version;
        if (head->stime != 0)
            db.nBuilt = static_cast<std::int64_t>(head->stime);
        cl_cvdfree(head);
    }
}

} // namespace

CSignatureInfo CSignatureInfo::Read(const std::string& folder) {
    CSignatureInfo info;
    info.strFolder = folder;
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) {
        info.bFolderMissing = true;
        return info;
    }
    RouteClamMessages();
    CClamMessages quiet; // a damaged file is shown as such, not on the terminal
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        struct stat st {};
        const std::string path = entry.path().string();
        const std::string ext = entry.path().extension().string();
        if (!IsDatabase(ext) || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        CSignatureDatabase db;
        db.strFile = entry.path().filename().string();
        db.nBuilt = static_cast<std::int64_t>(st.st_mtime);
        if (HasHeader(ext))
            ReadHeader(path, db);
        if (cl_countsigs(path.c_str(), CL_COUNTSIGS_ALL, &db.nSignatures) != CL_SUCCESS)
            db.nSignatures = 0;
        info.nSignatures += db.nSignatures;
        info.nNewest = info.databases.empty() ? db.nBuilt : std::max(info.nNewest, db.nBuilt);
        info.databases.push_back(std::move(db));
    }
    std::sort(info.databases.begin(), info.databases.end(),
              [](const auto& a, const auto& b) { return a.strFile < b.strFile; });
    return info;
}

const CSignatureDatabase* CSignatureInfo::Newest() const {
    const auto it =
        std::max_element(databases.begin(), databases.end(),
                         [](const auto& a, const auto& b) { return a.nBuilt < b.nBuilt; });
    return it == databases.end() ? nullptr : &*it;
}

long long CSignatureInfo::AgeDays(std::time_t now) const {
    return std::max<std::int64_t>(0, static_cast<std::int64_t>(now) - nNewest) / kDaySeconds;
}

bool CSignatureInfo::IsStale(std::time_t now) const {
    return !IsEmpty() && static_cast<std::int64_t>(now) - nNewest > kStaleDays * kDaySeconds;
}

std::string CSignatureInfo::Warning(std::time_t now) const {
    if (IsEmpty())
        return LoadResString(kTextMissing);
    if (!IsStale(now))
        return std::string();
    char text[128];
    std::snprintf(text, sizeof text, LoadResString(kTextStale), AgeDays(now));
    return text;
}

namespace {

std::string DatabaseText(const CSignatureDatabase& db) {
    return db.strFile + (db.nVersion ? " " + std::to_string(db.nVersion) : std::string()) + " z " +
           LocalDate(db.nBuilt);
}

} // namespace

std::string CSignatureInfo::Versions() const {
    std::string text;
    for (const CSignatureDatabase& db : databases)
        text += (text.empty() ? "" : ", ") + DatabaseText(db);
    return text;
}

std::string CSignatureInfo::NewestText() const {
    const CSignatureDatabase* db = Newest();
    return db ? DatabaseText(*db) : std::string();
}

std::string SignatureFolder() {
    if (const char* env = std::getenv("VEX_SIGNATURES"); env != nullptr && *env != '\0')
        return env;
    std::error_code ec;
    if (fs::exists(RegHivePath(HKEY_LOCAL_MACHINE), ec)) {
        const std::string stored =
            RegGetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kSignaturesValue, "");
        if (!stored.empty())
            return stored;
    }
    return kDefaultSignatureFolder;
}

std::string LocalDate(std::int64_t t) {
    const std::time_t when = static_cast<std::time_t>(t);
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&when, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}
