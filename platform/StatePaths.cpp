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

namespace {

// Checks one existing path; None also when it does not exist.
CStateProblem CheckOwned(const std::string& path, bool bDirectory) {
    CStateProblem problem;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return problem;
    problem.strPath = path;
    problem.nOwner = st.st_uid;
    if (bDirectory ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
        problem.kind = CStateProblem::NotDirectory;
    else if (st.st_uid != geteuid())
        problem.kind = CStateProblem::OtherOwner;
    else if (st.st_mode & (S_IWGRP | S_IWOTH))
        problem.kind = CStateProblem::Writable;
    return problem;
}

} // namespace

CStateProblem CheckStateRoot() {
    CStateProblem problem = CheckOwned(StateRoot(), true);
    if (problem.kind != CStateProblem::None)
        return problem;
    for (const char* name : {"machine.db", "user.db", "VexServ.lock"}) {
        problem = CheckOwned(StatePath(name), false);
        if (problem.kind != CStateProblem::None)
            return problem;
    }
    return CStateProblem();
}

std::string DescribeStateProblemPl(const CStateProblem& problem, const std::string& shownPath,
                                   const std::string& quotedPath) {
    const std::string path = "\"" + shownPath + "\"";
    switch (problem.kind) {
    case CStateProblem::NotDirectory:
        return path + " ma niewłaściwy typ; usuń go albo wskaż inny katalog stanu (RAMPART_ROOT).";
    case CStateProblem::OtherOwner:
        return path + " należy do innego użytkownika (" + std::to_string(problem.nOwner) +
               "); wskaż własny katalog stanu (RAMPART_ROOT) albo usuń ten.";
    case CStateProblem::Writable:
        return path + " mogą zmieniać inni użytkownicy; napraw to poleceniem: chmod go-w " +
               quotedPath + ".";
    case CStateProblem::None:
        break;
    }
    return std::string();
}

bool EnsureStateRoot() {
    const std::string root = StateRoot();
    if (IsDirectory(root))
        return CheckStateRoot().kind == CStateProblem::None;
    // mkdir -p: make each missing component in turn.
    for (size_t pos = 1; pos <= root.size(); ++pos) {
        if (pos != root.size() && root[pos] != '/')
            continue;
        const std::string part = root.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return IsDirectory(root) && CheckStateRoot().kind == CStateProblem::None;
}
