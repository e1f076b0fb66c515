#pragma once

#include <string>

// Where all lasting state lives: the hive databases and the lock files.
// The root is $RAMPART_ROOT, else $XDG_DATA_HOME/rampart, else
// ~/.local/share/rampart. It is read afresh on every call so that a test can
// point a process at a fresh root by setting the variable.
std::string StateRoot();

// StateRoot() + "/" + name.
std::string StatePath(const char* name);

// Creates the state root (and missing parents) with owner-only rights when it
// does not exist yet. False when it cannot be made or is not a directory.
bool EnsureStateRoot();
