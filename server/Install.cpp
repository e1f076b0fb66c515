#include "Install.h"

#include "RegInterface.h"
#include "Settings.h"
#include "StatePaths.h"

#include <filesystem>
#include <system_error>

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

int RunInstall(const CInstallPaths& paths, std::FILE* err) {
    const CStateProblem problem = CheckStateRoot();
    if (problem.kind != CStateProblem::None) {
        std::fprintf(err, "vexserv: refusing an unsafe state root: %s\n",
                     DescribeStateProblem(problem).c_str());
        return 2;
    }
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
            result = SetStringIfMissing(tempora, "HelpFile", paths.strHelpFile);
        if (result == ERROR_SUCCESS)
            result = SetStringIfMissing(tempora, kSignaturesValue, kDefaultSignatureFolder);
        RegCloseKey(tempora);
    }
    if (result != ERROR_SUCCESS) {
        std::fprintf(err, "vexserv: cannot write the registry in %s: %s (error %d)\n",
                     RegHivePath(HKEY_LOCAL_MACHINE).c_str(), RegErrorText(result),
                     static_cast<int>(result));
        return 2;
    }
    return 0;
}
