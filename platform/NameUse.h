#pragma once

// Named semaphores and shared memory outlive their processes: nothing in the
// system removes them. Every object that opens one of a state root's names
// holds a shared lock on the root's name secret for its life; the last one to
// go (the only one that can turn it into an exclusive lock) removes the
// root's names, so that no file of an unused root stays in /dev/shm.
// Openers take the lock before they open a name, so a name is never removed
// under someone who is about to use it.

#include <string>

class CNameUse {
public:
    // Takes the shared lock on the secret of the state root in force; stem
    // is that root's name stem (SecretNameStem), empty when it has none.
    explicit CNameUse(const std::string& stem);
    ~CNameUse();
    CNameUse(const CNameUse&) = delete;
    CNameUse& operator=(const CNameUse&) = delete;

    // A semaphore or shared memory name of this object's own, removed with
    // the program's names when this object is the last user.
    void AddSemaphore(const std::string& name) { m_strOwnSemaphore = name; }
    void AddSharedMemory(const std::string& name) { m_strOwnShared = name; }

    // Lets the lock go without removing anything: for an object that did not
    // get to use the names after all.
    void Forget();

private:
    void RemoveNames() const;

    int m_fd = -1;
    std::string m_strStem;
    std::string m_strOwnSemaphore;
    std::string m_strOwnShared;
};
