#pragma once

#include <string>
#include <sys/types.h>

// Opens the folder at path (absolute) for reading, one component at a time,
// so that a scan run by root never ends up in a folder another user pointed
// it to: a symbolic link on the way is followed only when it belongs to root
// or to user (the user the scan runs for). resolved receives the folder's
// real path. Returns the descriptor, or -1 with the reason (Polish) in error.
int OpenFolderSafely(const std::string& path, uid_t user, std::string& resolved,
                     std::string& error);
