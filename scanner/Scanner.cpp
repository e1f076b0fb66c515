#include "Scanner.h"

#include "FileOps.h"
#include "TestString.h"

#include <QCryptographicHash>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <memory>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxDepth = 256;
constexpr size_t kChunk = 64 * 1024;
constexpr size_t kMaxCleanSize = size_t(256) << 20;
constexpr size_t kMaxStandardFile = 128;

std::string Join(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

std::string Errno() {
    return std::strerror(errno);
}

// Closes a descriptor when it goes out of scope.
struct FdGuard {
    int fd;
    explicit FdGuard(int f) : fd(f) {}
    ~FdGuard() {
        if (fd >= 0)
            ::close(fd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
};

std::string Canonical(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

bool Under(const std::string& path, const std::string& dir) {
    return path == dir || (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
                           path[dir.size()] == '/');
}

} // namespace

struct CScanner::Entry {
    std::string path;
    std::string name;
    int fd = -1;
    struct stat st {};
    std::string head;    // the first bytes of the file (up to one chunk)
    bool bWhole = false; // head holds the whole file
    bool bInfected = false;
    bool bGone = false; // deleted or moved by the infection action
    std::string status;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    std::string digest; // hex, when the reference check is on
};

int CScanResult::ExitCode() const {
    if (m_bFatal)
        return 2;
    if (m_nInfected > 0 || m_nChanged > 0)
        return 1;
    return m_nErrors > 0 ? 2 : 0;
}

std::string CScanResult::Text(const std::string& jobName, const std::string& dir) const {
    std::string text = jobName + ": " + dir + ": " + std::to_string(m_nFiles) + " files, " +
                       std::to_string(m_nInfected) + " infected, " + std::to_string(m_nChanged) +
                       " changed, " + std::to_string(m_nErrors) + " errors";
    if (m_bFatal)
        text += ", scan not carried out";
    else if (m_bStopped)
        text += ", scan stopped";
    return text;
}

CScanner::CScanner(const CScanCommand& cmd, const CScanPaths& paths)
    : m_cmd(cmd), m_paths(paths), m_log(paths.m_strLog, cmd.m_nLogMode) {
    m_report = [](const std::string& message) {
        std::fprintf(stderr, "vexscan: %s\n", message.c_str());
    };
}

void CScanner::Fail(const std::string& path, const std::string& message) {
    ++m_result.m_nErrors;
    m_log.File(path, "error: " + message);
    m_report(path + ": " + message);
    // A file that could not be read keeps the reference it had.
    if (const std::string* old = m_bRefsUsable ? m_oldRefs.Find(path) : nullptr)
        m_newRefs.Set(path, *old);
}

bool CScanner::IsForbiddenTree(const std::string& path, int fd) {
    for (const char* dir : {"/proc", "/sys", "/dev"})
        if (Under(path, dir))
            return true;
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    return fs.f_type == PROC_SUPER_MAGIC || fs.f_type == SYSFS_MAGIC ||
           fs.f_type == DEVPTS_SUPER_MAGIC;
}

CScanResult CScanner::Run() {
    std::string error;
    if (!m_log.Open(error)) {
        ++m_result.m_nErrors;
        m_report(error);
    }
    if (m_cmd.m_bReferenceCheck) {
        m_bRefsUsable = m_oldRefs.Load(m_paths.m_strReference, m_bHaveRefs, error);
        if (!m_bRefsUsable) {
            ++m_result.m_nErrors;
            m_report(error);
        }
    }
    std::string root = Canonical(m_cmd.m_strDirectory);
    int fd = root.empty() ? -1 : ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        m_result.m_bFatal = true;
        m_report("cannot open the folder " + m_cmd.m_strDirectory + ": " + Errno());
    } else {
        FdGuard guard(fd);
        if (IsForbiddenTree(root, fd)) {
            m_result.m_bFatal = true;
            m_report("will not scan the system folder " + root);
        } else {
            m_strQuarantine = Canonical(m_paths.m_strQuarantine);
            WalkDirectory(fd, root, 0);
            FinishReferences();
        }
    }
    m_log.Summary(m_result.Text(m_cmd.m_strJobName, m_cmd.m_strDirectory));
    return m_result;
}

void CScanner::WalkDirectory(int dirfd, const std::string& path, int depth) {
    int listFd = ::dup(dirfd);
    DIR* dir = listFd < 0 ? nullptr : ::fdopendir(listFd);
    if (!dir) {
        std::string reason = Errno();
        if (listFd >= 0)
            ::close(listFd);
        Fail(path, "cannot list the folder: " + reason);
        return;
    }
    ::rewinddir(dir);
    std::vector<std::string> names;
    while (dirent* d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
            names.emplace_back(d->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());

    for (const std::string& name : names) {
        if (m_result.m_bStopped)
            return;
        struct stat st {};
        if (::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // vanished since the listing
        std::string child = Join(path, name);
        if (S_ISREG(st.st_mode)) {
            ExamineFile(dirfd, path, name);
        } else if (S_ISDIR(st.st_mode) && m_cmd.m_bSubdirectories) {
            if (!m_strQuarantine.empty() && Under(child, m_strQuarantine))
                continue; // what we moved aside is not found again
            if (depth + 1 >= kMaxDepth) {
                Fail(child, "folders nested too deeply");
                continue;
            }
            int sub =
                ::openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                Fail(child, "cannot open the folder: " + Errno());
                continue;
            }
            FdGuard guard(sub);
            if (!IsForbiddenTree(child, sub))
                WalkDirectory(sub, child, depth + 1);
        }
        // Symbolic links, devices, pipes and sockets are never opened.
    }
}

void CScanner::ExamineFile(int dirfd, const std::string& dirPath, const std::string& name) {
    Entry e;
    e.name = name;
    e.path = Join(dirPath, name);
    e.fd = ::openat(dirfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (e.fd < 0) {
        Fail(e.path, "cannot open: " + Errno());
        return;
    }
    FdGuard guard(e.fd);
    if (::fstat(e.fd, &e.st) != 0 || !S_ISREG(e.st.st_mode))
        return; // replaced by something else since the listing

    // Read the first chunk; it decides whether the file is wanted at all.
    std::vector<char> buf(kChunk);
    std::string readError;
    auto readSome = [&](size_t offset) -> ssize_t {
        for (;;) {
            ssize_t n = ::pread(e.fd, buf.data(), buf.size(), static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                readError = "cannot read: " + Errno();
            return n;
        }
    };
    ssize_t n = readSome(0);
    if (n < 0) {
        Fail(e.path, readError);
        return;
    }
    e.head.assign(buf.data(), static_cast<size_t>(n));
    if (!Wanted(e))
        return;
    ++m_result.m_nFiles;

    const bool needHash = m_cmd.m_bReferenceCheck;
    CTestStringFinder finder;
    size_t offset = e.head.size();
    finder.Feed(e.head.data(), e.head.size());
    if (needHash)
        e.hash.addData(QByteArrayView(e.head.data(), static_cast<qsizetype>(e.head.size())));
    e.bWhole = static_cast<size_t>(n) < kChunk;
    // Heuristics look at the whole file; without them only the standard test
    // file counts, and the first chunk tells that.
    while (!e.bWhole && (needHash || (m_cmd.m_bHeuristic && !finder.Found()))) {
        n = readSome(offset);
        if (n <= 0)
            break;
        if (m_cmd.m_bHeuristic)
            finder.Feed(buf.data(), static_cast<size_t>(n));
        if (needHash)
            e.hash.addData(QByteArrayView(buf.data(), n));
        offset += static_cast<size_t>(n);
    }
    if (!readError.empty()) {
        Fail(e.path, readError);
        return;
    }
    e.bInfected = m_cmd.m_bHeuristic
                      ? finder.Found()
                      : e.bWhole && e.head.size() <= kMaxStandardFile && IsStandardTestFile(e.head);
    e.status = "ok";
    if (e.bInfected)
        ActOnInfection(dirfd, e);
    if (needHash && !e.bGone) {
        if (e.digest.empty())
            e.digest = e.hash.result().toHex().toStdString();
        CheckReference(e);
    }
    m_log.File(e.path, e.status);
}

bool CScanner::Wanted(const Entry& e) const {
    if (m_cmd.m_nFileSelection == 0 || (e.st.st_mode & 0111) != 0)
        return true;
    const std::string& h = e.head;
    return h.compare(0, 2, "#!") == 0 ||
           h.compare(0, 4,
                     "\x7f"
                     "ELF") == 0 ||
           h.compare(0, 2, "MZ") == 0;
}

void CScanner::ActionFailed(Entry& e, const std::string& message) {
    ++m_result.m_nErrors;
    e.status = "infected, " + message;
    m_report(e.path + ": " + e.status);
}

void CScanner::ActOnInfection(int dirfd, Entry& e) {
    ++m_result.m_nInfected;
    std::string error;
    switch (m_cmd.m_nInfectionAction) {
    case kInfectStop:
        e.status = "infected, scan stopped";
        m_result.m_bStopped = true;
        return;
    case kInfectRemoveVirus: {
        std::string content;
        if (!ReadWholeFile(e.fd, kMaxCleanSize, content, error)) {
            ActionFailed(e, "virus not removed: " + error);
            return;
        }
        if (IsStandardTestFile(content)) {
            // Nothing but the test string: there is nothing left to keep.
            if (::unlinkat(dirfd, e.name.c_str(), 0) != 0) {
                ActionFailed(e, "cannot delete: " + Errno());
                return;
            }
            e.status = "infected, deleted (it held only the test string)";
            e.bGone = true;
            return;
        }
        std::string cleaned = RemoveTestString(content);
        if (!WriteFileAtomically(dirfd, e.name, cleaned, e.st.st_mode & 07777, error, e.st.st_uid,
                                 e.st.st_gid)) {
            ActionFailed(e, "virus not removed: " + error);
            return;
        }
        e.status = "infected, virus removed";
        e.digest =
            QCryptographicHash::hash(QByteArray::fromStdString(cleaned), QCryptographicHash::Sha256)
                .toHex()
                .toStdString();
        return;
    }
    case kInfectDelete:
        if (::unlinkat(dirfd, e.name.c_str(), 0) != 0) {
            ActionFailed(e, "cannot delete: " + Errno());
            return;
        }
        e.status = "infected, file deleted";
        e.bGone = true;
        return;
    case kInfectMove: {
        std::string dest;
        if (!MakeDirectories(m_paths.m_strQuarantine)) {
            ActionFailed(e, "cannot create the quarantine folder: " + Errno());
            return;
        }
        m_strQuarantine = Canonical(m_paths.m_strQuarantine); // made just now, perhaps
        if (!MoveToQuarantine(dirfd, e.name, e.fd, m_paths.m_strQuarantine, dest, error)) {
            ActionFailed(e, error);
            return;
        }
        e.status = "infected, moved to " + EscapePath(dest);
        e.bGone = true;
        return;
    }
    default:
        e.status = "infected";
        return;
    }
}

void CScanner::CheckReference(Entry& e) {
    const std::string* old = m_bRefsUsable ? m_oldRefs.Find(e.path) : nullptr;
    if (!old || *old == e.digest) {
        m_newRefs.Set(e.path, e.digest);
        return;
    }
    ++m_result.m_nChanged;
    std::string what = e.bInfected ? e.status + ", changed" : "changed";
    switch (m_cmd.m_nReferenceDiffAction) {
    case kDiffAccept:
        m_newRefs.Set(e.path, e.digest);
        e.status = what + ", accepted";
        break;
    case kDiffStop:
        m_newRefs.Set(e.path, *old);
        e.status = what + ", scan stopped";
        m_result.m_bStopped = true;
        break;
    default:
        m_newRefs.Set(e.path, *old);
        e.status = what;
    }
}

void CScanner::FinishReferences() {
    if (!m_cmd.m_bReferenceCheck)
        return;
    // A damaged list is replaced only when differences are to be accepted.
    if (!m_bRefsUsable && m_cmd.m_nReferenceDiffAction != kDiffAccept)
        return;
    // After an early stop the files not reached keep their references; after
    // a full scan, references of files that are gone are dropped.
    if (m_result.m_bStopped) {
        for (const auto& [path, digest] : m_oldRefs.Entries())
            if (!m_newRefs.Find(path))
                m_newRefs.Set(path, digest);
    }
    if (m_bHaveRefs && m_bRefsUsable && m_newRefs == m_oldRefs)
        return;
    std::string error;
    std::string dir = m_paths.m_strReference.substr(0, m_paths.m_strReference.rfind('/'));
    if (!MakeDirectories(dir) || !m_newRefs.Save(m_paths.m_strReference, error)) {
        ++m_result.m_nErrors;
        m_report(error.empty() ? "cannot create the folder " + dir : error);
    }
}
