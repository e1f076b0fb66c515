#include "StatePaths.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeDirectory() {
    std::string home = EnvValue("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string StateRoot() {
    std::string root = EnvValue("RAMPART_ROOT");
    if (!root.empty())
        return root;
    // XDG base directory rules: a relative XDG_DATA_HOME counts as unset.
    std::string data = EnvValue("XDG_DATA_HOME");
    if (data.empty() || data[0] != '/')
        data = HomeDirectory() + "/.local/share";
    return data + "/rampart";
}

std::string StatePath(const char* name) {
    std::string root = StateRoot();
    if (root.empty() || root.back() != '/')
        root += '/';
    return root + name;
}

bool EnsureStateRoot() {
    const std::string root = StateRoot();
    if (IsDirectory(root))
        return true;
    // mkdir -p: make each missing component in turn.
    for (size_t pos = 1; pos <= root.size(); ++pos) {
        if (pos != root.size() && root[pos] != '/')
            continue;
        const std::string part = root.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return IsDirectory(root);
}
