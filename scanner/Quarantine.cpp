#include "Quarantine.h"

#include "AllowList.h"
#include "CommandFile.h"
#include "FileOps.h"
#include "FolderOpen.h"
#include "LineText.h"
#include "ScanLog.h"
#include "ScanPaths.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kRecordSuffix = ".record";
constexpr std::int64_t kDay = 24 * 60 * 60;

bool IsDigits(std::string_view text) {
    return !text.empty() && text.size() <= 20 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The quarantine names a file "<time>-<process>-<counter>-<original name>";
// the first three parts are its id. Older or foreign names are their own id.
std::string IdOf(const std::string& file) {
    size_t pos = 0;
    for (int part = 0; part < 3; ++part) {
        const size_t dash = file.find('-', pos);
        if (dash == std::string::npos || !IsDigits(std::string_view(file).substr(pos, dash - pos)))
            return file;
        pos = dash + 1;
    }
    return file.substr(0, pos - 1);
}

// Whether the process that wrote file (by its name) may still be at work.
bool WriterMayRun(const std::string& file) {
    const size_t first = file.find('-');
    const size_t second = first == std::string::npos ? first : file.find('-', first + 1);
    if (second == std::string::npos)
        return false;
    const std::string pid = file.substr(first + 1, second - first - 1);
    if (!IsDigits(pid) || pid.size() > 9)
        return false;
    return ::kill(static_cast<pid_t>(std::stol(pid)), 0) == 0 || errno != ESRCH;
}

bool ReadRecord(int qfd, const std::string& file, CQuarantineEntry& entry) {
    FdGuard fd(
        ::openat(qfd, CQuarantine::RecordName(file).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.fd < 0 && errno == ENOENT)
        return false;
    std::string text, error;
    if (fd.fd < 0 || !ReadWholeFile(fd.fd, CQuarantineRecord::kMaxBytes, text, error)) {
        entry.m_strRecordError = "nie można odczytać zapisu: " +
                                 (fd.fd < 0 ? ErrorText(errno) : "za duży albo nieczytelny");
        return false;
    }
    if (!entry.m_record.Parse(text, error)) {
        entry.m_strRecordError = error;
        return false;
    }
    entry.m_bHasRecord = true;
    entry.m_nTime = entry.m_record.m_nTime;
    return true;
}

// The owner (root only) and the rights the file had before it was moved.
void GiveBackRights(int fd, const CQuarantineEntry& entry) {
    if (!entry.m_bHasRecord)
        return;
    if (::geteuid() == 0 && ::fchown(fd, entry.m_record.m_uid, entry.m_record.m_gid) != 0) {
        // The owner stays root's; the rights below still apply.
    }
    ::fchmod(fd, entry.m_record.m_mode);
}

// Copies the quarantined file fd to name in the folder dirfd, complete and
// with its rights before it gets that name.
ERestore CopyBack(int fd, int dirfd, const std::string& name, const CQuarantineEntry& entry,
                  std::string& error) {
    std::string partial;
    FdGuard out(CreateUnique(dirfd, CQuarantine::kPartialPrefix, "", 0600, partial));
    bool ok = out.fd >= 0 && CopyFd(fd, out.fd);
    if (ok)
        GiveBackRights(out.fd, entry);
    ok = ok && ::fsync(out.fd) == 0;
    int err = errno;
    if (ok && ::renameat2(dirfd, partial.c_str(), dirfd, name.c_str(), RENAME_NOREPLACE) == 0)
        return ERestore::kRestored;
    err = ok ? errno : err;
    if (out.fd >= 0)
        ::unlinkat(dirfd, partial.c_str(), 0);
    if (err == EEXIST)
        return ERestore::kExists;
    error = "nie można skopiować pliku: " + ErrorText(err);
    return ERestore::kFailed;
}

} // namespace

CQuarantine::CQuarantine(std::string stateRoot)
    : m_strRoot(std::move(stateRoot)),
      m_strFolder(CScanPaths::ForJob(m_strRoot, std::string()).m_strQuarantine) {}

std::string CQuarantine::AllowListPath() const {
    return CScanPaths::ForJob(m_strRoot, std::string()).m_strAllowList;
}

std::string CQuarantine::RecordName(const std::string& file) {
    return "." + file + std::string(kRecordSuffix);
}

int CQuarantine::OpenFolder(std::string& error) const {
    const int fd = ::open(m_strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        error =
            "nie można otworzyć kwarantanny " + EscapePath(m_strFolder) + ": " + ErrorText(errno);
    return fd;
}

bool CQuarantine::List(std::vector<CQuarantineEntry>& entries, std::string& error) const {
    entries.clear();
    const int qfd = OpenFolder(error);
    if (qfd < 0)
        return errno == ENOENT;
    DIR* listing = ::fdopendir(qfd);
    if (!listing) {
        error = "nie można odczytać kwarantanny: " + ErrorText(errno);
        ::close(qfd);
        return false;
    }
    while (const dirent* item = ::readdir(listing)) {
        const std::string name = item->d_name;
        struct stat st {};
        // Dot names are records and unfinished copies, never quarantined files.
        if (name[0] == '.' || ::fstatat(qfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        CQuarantineEntry entry;
        entry.m_strId = IdOf(name);
        entry.m_strFile = name;
        entry.m_nSize = static_cast<std::uint64_t>(st.st_size);
        entry.m_nTime = st.st_mtim.tv_sec;
        ReadRecord(qfd, name, entry);
        entries.push_back(std::move(entry));
    }
    ::closedir(listing);
    std::sort(entries.begin(), entries.end(),
              [](const CQuarantineEntry& a, const CQuarantineEntry& b) {
                  return a.m_nTime != b.m_nTime ? a.m_nTime < b.m_nTime : a.m_strId < b.m_strId;
              });
    return true;
}

bool CQuarantine::Find(const std::string& id, CQuarantineEntry& entry, std::string& error) const {
    std::vector<CQuarantineEntry> entries;
    if (!List(entries, error))
        return false;
    for (CQuarantineEntry& candidate : entries)
        if (candidate.m_strId == id || candidate.m_strFile == id) {
            entry = std::move(candidate);
            return true;
        }
    error = "w kwarantannie nie ma pliku o identyfikatorze " + EscapePath(id);
    return false;
}

ERestore CQuarantine::Restore(const CQuarantineEntry& entry, const std::string& to,
                              std::string& restored, std::string& error) const {
    const std::string target = to.empty() ? entry.m_record.m_strPath : to;
    if (target.empty()) {
        error = "nie wiadomo, skąd pochodzi plik " + EscapePath(entry.m_strFile) +
                " (brak zapisu): podaj miejsce, do którego go przywrócić";
        return ERestore::kFailed;
    }
    const int qfd = OpenFolder(error);
    if (qfd < 0)
        return ERestore::kFailed;
    FdGuard guard(qfd);
    const ERestore result = MoveBack(qfd, entry, target, error);
    if (result != ERestore::kRestored)
        return result;
    ::unlinkat(qfd, RecordName(entry.m_strFile).c_str(), 0);
    ::fsync(qfd);
    restored = target;
    LogRestore(entry, target);
    return result;
}

ERestore CQuarantine::MoveBack(int qfd, const CQuarantineEntry& entry, const std::string& target,
                               std::string& error) const {
    const size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (target[0] != '/' || base.empty() || base == "." || base == "..") {
        error = "to nie jest ścieżka bezwzględna do pliku: " + EscapePath(target);
        return ERestore::kFailed;
    }
    std::string resolved;
    FdGuard dir(
        OpenFolderSafely(slash == 0 ? "/" : target.substr(0, slash), ::geteuid(), resolved, error));
    if (dir.fd < 0)
        return ERestore::kFailed;
    FdGuard fd(::openat(qfd, entry.m_strFile.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.fd < 0) {
        error = "nie można otworzyć pliku w kwarantannie: " + ErrorText(errno);
        return ERestore::kFailed;
    }
    struct stat st {};
    if (::fstatat(dir.fd, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return ERestore::kExists;
    if (::renameat2(qfd, entry.m_strFile.c_str(), dir.fd, base.c_str(), RENAME_NOREPLACE) == 0) {
        GiveBackRights(fd.fd, entry);
        ::fsync(dir.fd);
        return ERestore::kRestored;
    }
    if (errno == EEXIST)
        return ERestore::kExists;
    if (errno != EXDEV) {
        error = "nie można przywrócić pliku: " + ErrorText(errno);
        return ERestore::kFailed;
    }
    const ERestore copied = CopyBack(fd.fd, dir.fd, base, entry, error);
    if (copied == ERestore::kRestored) {
        ::fsync(dir.fd);
        ::unlinkat(qfd, entry.m_strFile.c_str(), 0);
    }
    return copied;
}

void CQuarantine::LogRestore(const CQuarantineEntry& entry, const std::string& target) const {
    if (!entry.m_bHasRecord)
        return;
    CScanLog log(CScanPaths::ForJob(m_strRoot, entry.m_record.m_strJob).m_strLog, kLogCombined);
    std::string error;
    if (log.Open(error))
        log.Summary("przywrócono z kwarantanny: " + EscapePath(target) + " (" +
                    entry.m_record.m_strFinding + ", " + entry.m_strId + ")");
}

ERestore CQuarantine::RestoreAndAllow(const CQuarantineEntry& entry, const std::string& to,
                                      std::string& restored, std::string& error) const {
    std::string sha256;
    struct stat st {};
    {
        const int qfd = OpenFolder(error);
        FdGuard guard(qfd);
        FdGuard fd(qfd < 0
                       ? -1
                       : ::openat(qfd, entry.m_strFile.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.fd >= 0 && ::fstat(fd.fd, &st) == 0)
            sha256 = FileSha256(fd.fd);
        if (sha256.empty()) {
            error = "nie można odczytać pliku w kwarantannie: " + ErrorText(errno);
            return ERestore::kFailed;
        }
    }
    const ERestore result = Restore(entry, to, restored, error);
    if (result == ERestore::kRestored &&
        !CAllowList::Add(AllowListPath(), sha256, static_cast<std::uint64_t>(st.st_size),
                         entry.m_record.m_strFinding, error))
        error = "plik przywrócono, ale " + error;
    return result;
}

bool CQuarantine::Delete(const CQuarantineEntry& entry, std::string& error) const {
    const int qfd = OpenFolder(error);
    if (qfd < 0)
        return false;
    FdGuard guard(qfd);
    // The file first: a record left alone by a failure is tidied later.
    if (::unlinkat(qfd, entry.m_strFile.c_str(), 0) != 0) {
        error = "nie można usunąć " + EscapePath(entry.m_strFile) + ": " + ErrorText(errno);
        return false;
    }
    ::unlinkat(qfd, RecordName(entry.m_strFile).c_str(), 0);
    ::fsync(qfd);
    return true;
}

int CQuarantine::Purge(int days, std::int64_t now, std::string& error) const {
    std::vector<CQuarantineEntry> entries;
    if (!List(entries, error))
        return 0;
    int removed = 0;
    std::string failure;
    for (const CQuarantineEntry& entry : entries)
        if (entry.m_nTime <= now - days * kDay) {
            if (Delete(entry, failure))
                ++removed;
            else if (error.empty())
                error = failure;
        }
    if (const int qfd = OpenFolder(failure); qfd >= 0) {
        Tidy(qfd);
        ::close(qfd);
    }
    return removed;
}

bool CQuarantine::WriteRecord(int qfd, const std::string& file, const CQuarantineRecord& record,
                              std::string& error) {
    if (!WriteFileAtomically(qfd, RecordName(file), record.Serialize(), 0600, error)) {
        error = ErrorText(errno);
        return false;
    }
    // The record's name must be on the disk before the file's move is.
    if (::fsync(qfd) != 0) {
        error = ErrorText(errno);
        ::unlinkat(qfd, RecordName(file).c_str(), 0);
        return false;
    }
    return true;
}

void CQuarantine::Tidy(int qfd) {
    const int listFd = ::dup(qfd);
    DIR* listing = listFd < 0 ? nullptr : ::fdopendir(listFd);
    if (!listing) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    ::rewinddir(listing);
    while (const dirent* item = ::readdir(listing)) {
        const std::string_view name = item->d_name;
        struct stat st {};
        if (name[0] != '.') {
            if (::fstatat(qfd, item->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(st.st_mode) && (st.st_mode & 07777) != 0600) {
                FdGuard fd(
                    ::openat(qfd, item->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
                if (fd.fd >= 0)
                    ::fchmod(fd.fd, 0600);
            }
            continue;
        }
        // A copy a scan did not finish, "<prefix><time>-<process>-<n>".
        if (name.starts_with(kPartialPrefix)) {
            if (!WriterMayRun(std::string(name.substr(std::strlen(kPartialPrefix)))))
                ::unlinkat(qfd, item->d_name, 0);
            continue;
        }
        // A record's temporary copy, ".<record>.<time>-<process>-<n>.tmp".
        if (name.ends_with(".tmp")) {
            const size_t dot = name.rfind('.', name.size() - 5);
            if (dot != std::string_view::npos && !WriterMayRun(std::string(name.substr(dot + 1))))
                ::unlinkat(qfd, item->d_name, 0);
            continue;
        }
        if (name.size() <= kRecordSuffix.size() + 1 || !name.ends_with(kRecordSuffix))
            continue;
        const std::string file(name.substr(1, name.size() - 1 - kRecordSuffix.size()));
        if (::fstatat(qfd, file.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT &&
            !WriterMayRun(file))
            ::unlinkat(qfd, item->d_name, 0);
    }
    ::closedir(listing);
}
