#pragma once

// The names under which the processes of one state root meet (named
// semaphores and shared memory in /dev/shm, the server's presence socket in
// the abstract name space) live in name spaces that every local user can fill.
// A name another user can work out could be taken first, so the names come
// from a random secret kept in the state root, which only its owner can read.
// The secret and the boot are both in the name: one seen in a listing of
// /dev/shm tells nothing about the next boot's.

#include <string>

// <state root>/names.key
std::string NameSecretPath();

// "/vex.<uid>.<tag>.", tag being a keyed hash of the state root and the boot
// under the root's secret. The secret is made on first use when bCreate is
// set; it is used only when the state root passes CheckStateRoot and the
// secret itself is a regular file of the caller's that nobody else may read
// or change. Empty when there is no usable secret: pstrError (when given) then
// says why, and stays empty when the state root or the secret does not exist
// yet (so nothing named after it exists either).
std::string SecretNameStem(bool bCreate, std::string* pstrError = nullptr);

// "/vex.<uid>.<hash>.", from the state root's path alone: anyone can work it
// out, so whatever is found under it is believed only after the credentials
// of whoever holds it have been checked.
std::string PublicNameStem();
