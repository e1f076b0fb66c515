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

// Reads at most maxSize bytes from fd (from its start); false when the file is
// longer or cannot be read.
bool ReadWholeFile(int fd, size_t maxSize, std::string& content, std::string& error);

// Moves name (open as fd) from dirfd into the folder quarantineDir under a new
// unique name that keeps the original's name at its end; the copy loses its
// execute bits. dest receives the new path.
bool MoveToQuarantine(int dirfd, const std::string& name, int fd, const std::string& quarantineDir,
                      std::string& dest, std::string& error);
