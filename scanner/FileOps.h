#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

// File operations of the scanner that work relative to an open directory, so
// a folder swapped for a symbolic link during the scan is never followed.

// Writes content beside name in dirfd and renames it over name; the new file
// gets mode (and, where permitted, the given owner). Nothing is replaced unless
// the whole content was written.
bool WriteFileAtomically(int dirfd, const std::string& name, std::string_view content, mode_t mode,
                         std::string& error, uid_t uid = uid_t(-1), gid_t gid = gid_t(-1));

// Removes the temporary files that WriteFileAtomically of name (a path) left
// when its writer was killed: those of writers that no longer run. One that
// a running writer still fills stays.
void RemoveStaleTemporaries(const std::string& name);

// Reads at most maxSize bytes from fd (from its start); false when the file is
// longer or cannot be read.
bool ReadWholeFile(int fd, size_t maxSize, std::string& content, std::string& error);

// A name that no other writer picks: prefix, time, process, a counter, suffix.
std::string UniqueName(const std::string& prefix, const std::string& suffix);

// Creates a new file (O_EXCL) in dirfd under a unique name, trying a few;
// name receives it. The descriptor, or -1 (errno set).
int CreateUnique(int dirfd, const std::string& prefix, const std::string& suffix, mode_t mode,
                 std::string& name);

// Copies the content of from (from its start) to to; false on a read or
// write error (errno set).
bool CopyFd(int from, int to);

// The reason of an error number in Polish, for the scan log; the system's
// own text for the rare ones.
std::string ErrorText(int err);

// Closes a descriptor when it goes out of scope.
struct FdGuard {
    int fd;
    explicit FdGuard(int f) : fd(f) {}
    ~FdGuard();
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
};
