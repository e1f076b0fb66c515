#include "ScanPaths.h"

#include <QCryptographicHash>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

std::string JobFileStem(const std::string& jobName) {
    std::string stem;
    for (unsigned char c : jobName) {
        if (stem.size() >= 64)
            break;
        bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.';
        stem += safe ? static_cast<char>(c) : '_';
    }
    if (stem.empty() || stem[0] == '.')
        stem.insert(0, "job");
    QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(jobName), QCryptographicHash::Sha256);
    return stem + "-" + hash.toHex().left(16).toStdString();
}

CScanPaths CScanPaths::ForJob(const std::string& stateRoot, const std::string& jobName) {
    std::string stem = JobFileStem(jobName);
    CScanPaths paths;
    paths.m_strLog = stateRoot + "/scanner/logs/" + stem + ".log";
    paths.m_strReference = stateRoot + "/scanner/references/" + stem + ".sha256";
    paths.m_strQuarantine = stateRoot + "/scanner/quarantine";
    paths.m_strVerdicts = stateRoot + "/scanner/verdicts.db";
    paths.m_strAllowList = stateRoot + "/scanner/allow.sfp";
    return paths;
}

bool MoveJobFiles(const std::string& stateRoot, const std::string& oldName,
                  const std::string& newName) {
    const CScanPaths from = CScanPaths::ForJob(stateRoot, oldName);
    const CScanPaths to = CScanPaths::ForJob(stateRoot, newName);
    bool ok = true;
    for (const auto& [source, target] : {std::pair{from.m_strLog, to.m_strLog},
                                         std::pair{from.m_strLog + ".1", to.m_strLog + ".1"},
                                         std::pair{from.m_strReference, to.m_strReference}}) {
        struct stat st {};
        if (source == target || ::lstat(source.c_str(), &st) != 0 ||
            ::lstat(target.c_str(), &st) == 0)
            continue;
        ok = ::rename(source.c_str(), target.c_str()) == 0 && ok;
    }
    return ok;
}

bool RemoveJobFiles(const std::string& stateRoot, const std::string& jobName) {
    const CScanPaths paths = CScanPaths::ForJob(stateRoot, jobName);
    bool ok = true;
    for (const std::string& file : {paths.m_strLog, paths.m_strLog + ".1", paths.m_strReference})
        ok = (::unlink(file.c_str()) == 0 || errno == ENOENT) && ok;
    return ok;
}

bool MakeDirectories(const std::string& dir) {
    if (dir.empty())
        return false;
    for (size_t pos = dir.find('/', 1);; pos = dir.find('/', pos + 1)) {
        std::string part = dir.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (pos == std::string::npos)
            break;
    }
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
