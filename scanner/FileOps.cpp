#include "FileOps.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string UniqueName(const std::string& prefix, const std::string& suffix) {
    static std::atomic<unsigned> counter{0};
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return prefix +
           std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) +
           "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + suffix;
}

int CreateUnique(int dirfd, const std::string& prefix, const std::string& suffix, mode_t mode,
                 std::string& name) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        name = UniqueName(prefix, suffix);
        int fd = ::openat(dirfd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool CopyFd(int from, int to) {
    char buf[65536];
    for (off_t offset = 0;;) {
        ssize_t n = ::pread(from, buf, sizeof buf, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!WriteAll(to, buf, static_cast<size_t>(n)))
            return false;
        offset += n;
    }
}

std::string ErrorText(int err) {
    switch (err) {
    case ENOSPC:
        return "brak miejsca na dysku";
    case EDQUOT:
        return "przekroczony przydział miejsca na dysku";
    case EACCES:
    case EPERM:
        return "brak uprawnień";
    case ENOENT:
        return "nie istnieje";
    case EROFS:
        return "system plików tylko do odczytu";
    case EIO:
        return "błąd wejścia-wyjścia";
    case ELOOP:
        return "jest dowiązaniem symbolicznym";
    case ENOTDIR:
        return "nie jest folderem";
    case EBUSY:
    case ETXTBSY:
        return "plik jest zajęty";
    case ENAMETOOLONG:
        return "nazwa jest za długa";
    case EMFILE:
    case ENFILE:
        return "zbyt wiele otwartych plików";
    case ENOMEM:
        return "brak pamięci";
    default:
        return std::strerror(err);
    }
}

bool WriteFileAtomically(int dirfd, const std::string& name, std::string_view content, mode_t mode,
                         std::string& error, uid_t uid, gid_t gid) {
    std::string base = name.substr(name.rfind('/') + 1);
    std::string dirPart = name.substr(0, name.size() - base.size());
    std::string tmp;
    int fd = CreateUnique(dirfd, dirPart + "." + base + ".", ".tmp", 0600, tmp);
    if (fd < 0) {
        error = Errno("nie można utworzyć pliku tymczasowego");
        return false;
    }
    if (uid != uid_t(-1) || gid != gid_t(-1))
        if (::fchown(fd, uid, gid) != 0) {
            // Only root may give a file away; others keep the file as their own.
        }
    bool ok =
        WriteAll(fd, content.data(), content.size()) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (!ok)
        error = Errno("nie można zapisać pliku tymczasowego");
    ok = (::close(fd) == 0) && ok;
    if (ok && ::renameat(dirfd, tmp.c_str(), dirfd, name.c_str()) != 0) {
        error = Errno("nie można zastąpić pliku");
        ok = false;
    }
    if (!ok)
        ::unlinkat(dirfd, tmp.c_str(), 0);
    return ok;
}

void RemoveStaleTemporaries(const std::string& name) {
    const size_t slash = name.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : name.substr(0, slash);
    // As WriteFileAtomically names them: ".<base>.<time>-<pid>-<counter>.tmp".
    const std::string prefix = "." + name.substr(slash + 1) + ".";
    const std::string_view suffix = ".tmp";
    DIR* entries = ::opendir(dir.c_str());
    if (!entries)
        return;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view file = entry->d_name;
        if (!file.starts_with(prefix) || !file.ends_with(suffix))
            continue;
        const std::string_view unique =
            file.substr(prefix.size(), file.size() - prefix.size() - suffix.size());
        const size_t first = unique.find('-');
        const size_t second = unique.find('-', first + 1);
        if (first == std::string_view::npos || second == std::string_view::npos)
            continue;
        const std::string pid(unique.substr(first + 1, second - first - 1));
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos ||
            pid.size() > 9)
            continue;
        if (::kill(static_cast<pid_t>(std::stol(pid)), 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(entries), entry->d_name, 0);
    }
    ::closedir(entries);
}

bool ReadWholeFile(int fd, size_t maxSize, std::string& content, std::string& error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = Errno("nie można zbadać pliku");
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxSize) {
        error = "plik jest za duży";
        return false;
    }
    content.assign(static_cast<size_t>(st.st_size) + 1, '\0');
    size_t got = 0;
    while (got < content.size()) {
        ssize_t n =
            ::pread(fd, content.data() + got, content.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = Errno("nie można odczytać pliku");
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got > maxSize) {
        error = "plik jest za duży";
        return false;
    }
    content.resize(got);
    return true;
}

FdGuard::~FdGuard() {
    if (fd >= 0)
        ::close(fd);
}
