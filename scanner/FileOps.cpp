#include "FileOps.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
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

// A name no other writer picks: time, process and a counter.
std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) +
           "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// Creates a new file that did not exist before (O_EXCL), trying a few names.
int CreateUnique(int dirfd, const std::string& prefix, const std::string& suffix, mode_t mode,
                 std::string& name) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        name = prefix + UniqueSuffix() + suffix;
        int fd = ::openat(dirfd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool CopyFd(int from, int to) {
    if (::lseek(from, 0, SEEK_SET) != 0)
        return false;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(from, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!WriteAll(to, buf, static_cast<size_t>(n)))
            return false;
    }
}

} // namespace

bool WriteFileAtomically(int dirfd, const std::string& name, std::string_view content, mode_t mode,
                         std::string& error, uid_t uid, gid_t gid) {
    std::string base = name.substr(name.rfind('/') + 1);
    std::string dirPart = name.substr(0, name.size() - base.size());
    std::string tmp;
    int fd = CreateUnique(dirfd, dirPart + "." + base + ".", ".tmp", 0600, tmp);
    if (fd < 0) {
        error = Errno("cannot create a temporary file");
        return false;
    }
    if (uid != uid_t(-1) || gid != gid_t(-1))
        if (::fchown(fd, uid, gid) != 0) {
            // Only root may give a file away; others keep the file as their own.
        }
    bool ok =
        WriteAll(fd, content.data(), content.size()) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (!ok)
        error = Errno("cannot write a temporary file");
    ok = (::close(fd) == 0) && ok;
    if (ok && ::renameat(dirfd, tmp.c_str(), dirfd, name.c_str()) != 0) {
        error = Errno("cannot replace the file");
        ok = false;
    }
    if (!ok)
        ::unlinkat(dirfd, tmp.c_str(), 0);
    return ok;
}

bool ReadWholeFile(int fd, size_t maxSize, std::string& content, std::string& error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = Errno("cannot examine the file");
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxSize) {
        error = "the file is too large";
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
            error = Errno("cannot read the file");
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got > maxSize) {
        error = "the file is too large";
        return false;
    }
    content.resize(got);
    return true;
}

bool MoveToQuarantine(int dirfd, const std::string& name, int fd, const std::string& quarantineDir,
                      std::string& dest, std::string& error) {
    int qfd = ::open(quarantineDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (qfd < 0) {
        error = Errno("cannot open the quarantine folder");
        return false;
    }
    // Reserve a unique name, then move the file onto it: a rename when both
    // lie on one file system, otherwise a copy.
    std::string qname;
    int out = CreateUnique(qfd, "", "-" + name.substr(0, 200), 0600, qname);
    if (out < 0) {
        error = Errno("cannot create a file in the quarantine folder");
        ::close(qfd);
        return false;
    }
    bool ok = false;
    if (::renameat(dirfd, name.c_str(), qfd, qname.c_str()) == 0) {
        ::close(out);
        // The moved file keeps its inode; take away its execute bits.
        if (::fchmodat(qfd, qname.c_str(), 0600, 0) != 0) {
            // The move itself succeeded; the rights stay as they were.
        }
        ok = true;
    } else if (errno == EXDEV) {
        ok = CopyFd(fd, out) && ::fsync(out) == 0;
        ok = (::close(out) == 0) && ok;
        if (ok && ::unlinkat(dirfd, name.c_str(), 0) != 0)
            ok = false;
        if (!ok) {
            error = Errno("cannot copy the file into the quarantine folder");
            ::unlinkat(qfd, qname.c_str(), 0);
        }
    } else {
        error = Errno("cannot move the file into the quarantine folder");
        ::close(out);
        ::unlinkat(qfd, qname.c_str(), 0);
    }
    ::close(qfd);
    if (ok)
        dest = quarantineDir + "/" + qname;
    return ok;
}
