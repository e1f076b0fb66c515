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
// does not exist yet. False when it cannot be made, is not a directory or
// fails CheckStateRoot.
bool EnsureStateRoot();

// What may be wrong with the state root or a file in it.
struct CStateProblem {
    enum Kind { None, NotDirectory, OtherOwner, Writable } kind = None;
    std::string strPath; // the directory or file at fault
    unsigned nOwner = 0; // its owner's user id
};

// Whoever can write the state root or its databases controls what the server
// runs, so both must belong to the calling user and be closed to group and
// others. Checks the root and those of its databases and lock files that
// exist; a missing root is no problem (it is made owner-only).
CStateProblem CheckStateRoot();

// The problem and how to mend it, for logs and messages: shownPath is the
// path as the caller prints it, quotedPath the same path quoted for a shell.
std::string DescribeStateProblemPl(const CStateProblem& problem, const std::string& shownPath,
                                   const std::string& quotedPath);
