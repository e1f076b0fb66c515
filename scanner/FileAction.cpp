#include "FileAction.h"

#include "FileOps.h"
#include "Quarantine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file taken aside in its own folder, before it is removed or copied.
constexpr const char* kTakenPrefix = ".vex-taken-";

constexpr const char* kChangedText = "plik zmienił się w trakcie analizy; nic nie zrobiono";

bool IsScannedFile(int dirfd, const std::string& name, const struct stat& scanned) {
    struct stat st {};
    return ::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
           st.st_dev == scanned.st_dev && st.st_ino == scanned.st_ino;
}

// True once the scanned file has no name left anywhere (hard links are
// refused before any action, so its own name was the only one).
bool HasNoName(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_nlink == 0;
}

// Gives an entry back its name; when someone took that name meanwhile, the
// entry stays where it is rather than replace theirs.
void PutBack(int fromDir, const std::string& from, int dirfd, const std::string& name) {
    ::renameat2(fromDir, from.c_str(), dirfd, name.c_str(), RENAME_NOREPLACE);
}

// Moves name to a fresh name in the same folder and checks that what moved
// is the scanned file; anything else goes back.
EFileAction TakeAside(int dirfd, const std::string& name, const struct stat& scanned,
                      std::string& taken, std::string& error) {
    for (int attempt = 0;; ++attempt) {
        taken = UniqueName(kTakenPrefix, "");
        if (::renameat2(dirfd, name.c_str(), dirfd, taken.c_str(), RENAME_NOREPLACE) == 0)
            break;
        if (errno == ENOENT) {
            error = kChangedText;
            return EFileAction::kChanged;
        }
        if (errno != EEXIST || attempt == 15) {
            error = "nie można przenieść pliku: " + ErrorText(errno);
            return EFileAction::kFailed;
        }
    }
    if (IsScannedFile(dirfd, taken, scanned))
        return EFileAction::kDone;
    PutBack(dirfd, taken, dirfd, name);
    error = kChangedText;
    return EFileAction::kChanged;
}

EFileAction CopyIntoQuarantine(int dirfd, const std::string& name, int fd, int qfd,
                               const std::string& qname, const struct stat& scanned,
                               std::string& error) {
    std::string taken;
    if (const EFileAction taking = TakeAside(dirfd, name, scanned, taken, error);
        taking != EFileAction::kDone)
        return taking;
    std::string partial;
    const int out = CreateUnique(qfd, CQuarantine::kPartialPrefix, "", 0600, partial);
    bool ok = out >= 0 && CopyFd(fd, out) && ::fsync(out) == 0;
    int err = errno;
    if (out >= 0 && ::close(out) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::renameat2(qfd, partial.c_str(), qfd, qname.c_str(), RENAME_NOREPLACE) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        if (out >= 0)
            ::unlinkat(qfd, partial.c_str(), 0);
        PutBack(dirfd, taken, dirfd, name);
        error = "nie można skopiować pliku do kwarantanny: " + ErrorText(err);
        return EFileAction::kFailed;
    }
    ::fsync(qfd);
    if (::unlinkat(dirfd, taken.c_str(), 0) != 0) {
        err = errno;
        ::unlinkat(qfd, qname.c_str(), 0);
        PutBack(dirfd, taken, dirfd, name);
        error = "nie można usunąć oryginału: " + ErrorText(err);
        return EFileAction::kFailed;
    }
    if (HasNoName(fd))
        return EFileAction::kDone;
    // Someone swapped the taken name after the check: the scanned file still
    // has its name elsewhere, so the copy goes and nothing counts as moved.
    ::unlinkat(qfd, qname.c_str(), 0);
    error = kChangedText;
    return EFileAction::kChanged;
}

// Fills in what the scanned file tells of itself and writes the record of
// qname before anything moves.
bool WriteRecord(int qfd, const std::string& qname, int fd, const struct stat& scanned,
                 CQuarantineRecord& record, std::string& error) {
    record.m_uid = scanned.st_uid;
    record.m_gid = scanned.st_gid;
    record.m_mode = scanned.st_mode & 07777;
    record.m_nSize = static_cast<std::uint64_t>(scanned.st_size);
    record.m_strSha256 = FileSha256(fd);
    record.m_nTime = std::time(nullptr);
    if (record.m_strSha256.empty()) {
        error = "nie można przenieść pliku do kwarantanny: " + ErrorText(errno);
        return false;
    }
    if (CQuarantine::WriteRecord(qfd, qname, record, error))
        return true;
    error = "nie można zapisać opisu pliku w kwarantannie: " + error;
    return false;
}

EFileAction MoveIntoQuarantine(int dirfd, const std::string& name, int fd, int qfd,
                               const std::string& qname, const struct stat& scanned,
                               std::string& error) {
    // On one file system the name moves straight into the quarantine, which
    // no one else can write, and is checked there.
    if (::renameat2(dirfd, name.c_str(), qfd, qname.c_str(), RENAME_NOREPLACE) == 0) {
        if (IsScannedFile(qfd, qname, scanned))
            return EFileAction::kDone;
        PutBack(qfd, qname, dirfd, name);
        error = kChangedText;
        return EFileAction::kChanged;
    }
    if (errno == ENOENT) {
        error = kChangedText;
        return EFileAction::kChanged;
    }
    if (errno == EXDEV)
        return CopyIntoQuarantine(dirfd, name, fd, qfd, qname, scanned, error);
    error = "nie można przenieść pliku do kwarantanny: " + ErrorText(errno);
    return EFileAction::kFailed;
}

} // namespace

EFileAction RemoveScannedFile(int dirfd, const std::string& name, int fd, std::string& error) {
    struct stat scanned {};
    if (::fstat(fd, &scanned) != 0) {
        error = "nie można usunąć: " + ErrorText(errno);
        return EFileAction::kFailed;
    }
    std::string taken;
    if (const EFileAction taking = TakeAside(dirfd, name, scanned, taken, error);
        taking != EFileAction::kDone)
        return taking;
    if (::unlinkat(dirfd, taken.c_str(), 0) != 0) {
        error = "nie można usunąć: " + ErrorText(errno);
        PutBack(dirfd, taken, dirfd, name);
        return EFileAction::kFailed;
    }
    if (HasNoName(fd))
        return EFileAction::kDone;
    error = "plik zmienił się w trakcie analizy; nie usunięto go";
    return EFileAction::kChanged;
}

EFileAction QuarantineScannedFile(int dirfd, const std::string& name, int fd, int qfd,
                                  CQuarantineRecord record, std::string& dest, std::string& error) {
    struct stat scanned {};
    if (::fstat(fd, &scanned) != 0) {
        error = "nie można przenieść pliku do kwarantanny: " + ErrorText(errno);
        return EFileAction::kFailed;
    }
    const std::string qname = UniqueName("", "-" + name.substr(0, 200));
    if (!WriteRecord(qfd, qname, fd, scanned, record, error))
        return EFileAction::kFailed;
    const EFileAction result = MoveIntoQuarantine(dirfd, name, fd, qfd, qname, scanned, error);
    if (result != EFileAction::kDone) {
        ::unlinkat(qfd, CQuarantine::RecordName(qname).c_str(), 0);
        return result;
    }
    // By the descriptor: a name could lead anywhere.
    ::fchmod(fd, 0600);
    dest = qname;
    return result;
}
