#pragma once

#include "QuarantineRecord.h"

#include <string>

// Infection actions on the file that was scanned, held open as fd under name
// in the folder dirfd. Other users may rename entries of that folder at any
// moment, so a name is only ever touched after device and inode show that it
// still is the scanned file, nothing is followed or changed by name, and an
// action reports kDone only when the scanned file has truly lost its name.

enum class EFileAction {
    kDone,    // removed, or moved into the quarantine
    kChanged, // the name no longer led to the scanned file: nothing was done
    kFailed,  // the action failed: error says why; the file stays where it was
};

// Removes the scanned file.
EFileAction RemoveScannedFile(int dirfd, const std::string& name, int fd, std::string& error);

// Moves the scanned file into the quarantine folder qfd under a new name that
// keeps the original's name at its end (dest receives it) and leaves it only
// its owner's read and write rights. Its record (record: where it was, the
// finding and the job; owner, rights, size, digest and time are filled in
// here) is on the disk before the move is, and goes when the move fails.
// Across file systems the content is copied from fd to a temporary name,
// made durable and only then given its final name; the original goes last.
EFileAction QuarantineScannedFile(int dirfd, const std::string& name, int fd, int qfd,
                                  CQuarantineRecord record, std::string& dest, std::string& error);
