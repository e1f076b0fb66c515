#include "AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(std::string* pstrError, const std::string& what, int nErrno) {
    if (pstrError)
        *pstrError = what + ": " + std::strerror(nErrno);
    return false;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t done = ::write(fd, p, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = ENOSPC;
            return false;
        }
        p += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

// The rename is durable only once the directory's entry is on disk; a
// failure here does not undo the replacement, so it is not reported.
void SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool WriteFileAtomically(const std::string& strPath, const void* pData, size_t nSize,
                         std::string* pstrError, unsigned nMode) {
    if (strPath.empty())
        return Fail(pstrError, "no file name", EINVAL);
    // A link is followed: the file it points at is the one replaced.
    std::string path = strPath;
    if (char* real = ::realpath(strPath.c_str(), nullptr)) {
        path = real;
        std::free(real);
    }
    struct stat old {};
    const bool bExists = ::stat(path.c_str(), &old) == 0;
    if (bExists && !S_ISREG(old.st_mode))
        return Fail(pstrError, path, EISDIR);

    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(pstrError, "nie można utworzyć pliku obok " + path, errno);
    // mkostemp makes 0600; the result gets the old file's rights or the
    // usual ones of a new file.
    mode_t mode = bExists ? (old.st_mode & 07777) : static_cast<mode_t>(nMode);
    if (!bExists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    int nErrno = ok ? 0 : errno;
    const char* what = "nie można ustawić uprawnień";
    if (ok && !WriteAll(fd, static_cast<const char*>(pData), nSize)) {
        ok = false;
        nErrno = errno;
        what = "nie można zapisać";
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        nErrno = errno;
        what = "nie można zapisać";
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        nErrno = errno;
        what = "nie można zapisać";
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        nErrno = errno;
        what = "nie można zastąpić";
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return Fail(pstrError, std::string(what) + " " + path, nErrno);
    }
    SyncDirectory(DirectoryOf(path));
    return true;
}
