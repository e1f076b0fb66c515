#pragma once

// Replaces a file whole or not at all: the bytes go to a new file beside the
// target, every write, the sync and the close are checked, and only then is
// the new file renamed over the old one. On any failure the old file stays
// as it was and the new one is removed.

#include <cstddef>
#include <string>

// nMode: the rights of a file that does not exist yet (before the umask); an
// existing file keeps its own. On failure *pstrError (optional) says why.
bool WriteFileAtomically(const std::string& path, const void* pData, size_t nSize,
                         std::string* pstrError = nullptr, unsigned nMode = 0666);
