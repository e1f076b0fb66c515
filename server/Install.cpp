#include "Install.h"

#include "LineText.h"
#include "RegInterface.h"
#include "Settings.h"
#include "StatePaths.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Clean(const fs::path& path) {
    return path.lexically_normal().string();
}

bool IsInside(const fs::path& dir, const fs::path& base) {
    const fs::path rel = dir.lexically_normal().lexically_relative(base.lexically_normal());
    return !rel.empty() && *rel.begin() != "..";
}

bool ValueExists(HKEY key, const char* pszName) {
    DWORD size = 0;
    return RegQueryValueEx(key, pszName, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

// Writes a REG_SZ (with its zero) unless the value exists.
LONG SetStringIfMissing(HKEY key, const char* pszName, const std::string& text) {
    if (ValueExists(key, pszName))
        return ERROR_SUCCESS;
    return RegSetValueEx(key, pszName, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
}

// The text of a REG_SZ value, "" when it is missing.
std::string ReadString(HKEY key, const char* pszName) {
    DWORD size = 0;
    if (RegQueryValueEx(key, pszName, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    std::vector<BYTE> data(size);
    if (RegQueryValueEx(key, pszName, nullptr, data.data(), &size) != ERROR_SUCCESS)
        return {};
    const char* text = reinterpret_cast<const char*>(data.data());
    return std::string(text, strnlen(text, size));
}

bool IsExecutableFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

// A recorded scanner that cannot be started (moved, deleted, a build tree
// that is gone) is replaced by the one that belongs to this vexserv, when
// that one can be; a working choice of the user's is left alone.
LONG RepairScanner(HKEY key, const std::string& strScanner, std::FILE* err) {
    const std::string recorded = ReadString(key, "vexexe");
    if (recorded.empty() || IsExecutableFile(recorded) || recorded == strScanner ||
        !IsExecutableFile(strScanner))
        return ERROR_SUCCESS;
    const LONG result =
        RegSetValueEx(key, "vexexe", REG_SZ, reinterpret_cast<const BYTE*>(strScanner.c_str()),
                      static_cast<DWORD>(strScanner.size() + 1));
    if (result == ERROR_SUCCESS)
        std::fprintf(err,
                     "vexserv: zapisany skaner %s nie istnieje albo nie daje się uruchomić; "
                     "vexexe to teraz %s\n",
                     EscapePath(recorded).c_str(), EscapePath(strScanner).c_str());
    return result;
}

// Mends a damaged store where that keeps every job; says what it did.
bool Repair(std::FILE* err) {
    const std::string hive = RegHivePath(HKEY_LOCAL_MACHINE);
    std::string detail;
    const LONG result = RegRepairHive(HKEY_LOCAL_MACHINE, detail);
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) {
        if (!detail.empty())
            std::fprintf(err,
                         "vexserv: baza analiz %s była uszkodzona (%s); jej indeksy odbudowano "
                         "z tabel i zachowano wszystkie analizy\n",
                         hive.c_str(), detail.c_str());
        return true;
    }
    std::fprintf(err,
                 "vexserv: bazy analiz %s nie da się tu naprawić: %s (%s); pozostała bez zmian. "
                 "Zatrzymaj serwer i przepisz każdy wiersz, który baza jeszcze oddaje, do nowej "
                 "bazy powłoką sqlite3, jak opisuje vexserv(1) w części REPAIR\n",
                 hive.c_str(), detail.empty() ? RegErrorText(result) : detail.c_str(),
                 RegErrorText(result));
    return false;
}

LONG CreateKey(const char* pszPath, HKEY* pKey) {
    return RegCreateKeyEx(HKEY_LOCAL_MACHINE, pszPath, pKey);
}

} // namespace

std::string ProgramDirectory() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec).string() : exe.parent_path().string();
}

CInstallPaths InstallPathsFor(const std::string& strExeDir) {
    const fs::path dir(strExeDir);
    CInstallPaths paths;
    std::error_code ec;
    if (fs::exists(dir / "vexscan", ec))
        paths.strScanner = Clean(dir / "vexscan");
    else
        paths.strScanner = Clean(dir / ".." / "scanner" / "vexscan");

    if (IsInside(dir, VEX_BINARY_DIR)) {
        paths.strHelpFile = Clean(fs::path(VEX_SOURCE_DIR) / "packaging" / "help" / "index.html");
    } else {
        // <prefix>/bin/vexserv -> <prefix>/share/vex-tempora/help/index.html
        const fs::path prefix = dir.filename() == fs::path(VEX_INSTALL_BINDIR).filename()
                                    ? dir.parent_path()
                                    : dir / "..";
        paths.strHelpFile = Clean(prefix / VEX_INSTALL_HELPDIR / "index.html");
    }
    return paths;
}

int RunInstall(const CInstallPaths& paths, std::FILE* err, bool bRepair) {
    const CStateProblem problem = CheckStateRoot();
    if (problem.kind != CStateProblem::None) {
        std::fprintf(err, "vexserv: niebezpieczny katalog stanu, odmowa: %s\n",
                     EscapeControls(DescribeStateProblemPl(problem, problem.strPath,
                                                           "'" + problem.strPath + "'"))
                         .c_str());
        return 2;
    }
    if (bRepair && !Repair(err))
        return 2;
    HKEY jobs = nullptr;
    LONG result = CreateKey(kJobKeyPath, &jobs);
    if (result == ERROR_SUCCESS)
        RegCloseKey(jobs);

    HKEY tempora = nullptr;
    if (result == ERROR_SUCCESS)
        result = CreateKey(kSettingsKeyPath, &tempora);
    if (result == ERROR_SUCCESS) {
        result = SetStringIfMissing(tempora, "vexexe", paths.strScanner);
        if (result == ERROR_SUCCESS)
            result = RepairScanner(tempora, paths.strScanner, err);
        if (result == ERROR_SUCCESS)
            result = SetStringIfMissing(tempora, "HelpFile", paths.strHelpFile);
        if (result == ERROR_SUCCESS)
            result = SetStringIfMissing(tempora, kSignaturesValue, kDefaultSignatureFolder);
        RegCloseKey(tempora);
    }
    if (result != ERROR_SUCCESS) {
        std::fprintf(err, "vexserv: nie można zapisać rejestru w %s: %s (błąd %d)\n",
                     EscapePath(RegHivePath(HKEY_LOCAL_MACHINE)).c_str(), RegErrorText(result),
                     static_cast<int>(result));
        return 2;
    }
    return 0;
}
