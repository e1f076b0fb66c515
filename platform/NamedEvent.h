#pragma once

// A named auto-reset event shared between processes of one state root.
//
// Set() wakes one waiter, or stays set until the next Wait() when nobody
// waits. Signals that arrive before the next wait collapse into one wake-up
// (two racing setters may at worst cause a second one). Built on a POSIX named
// semaphore whose name is derived from the user, the state root's name secret
// (NameSecret.h) and the event name, so two roots never see each other's
// signals and no other user can make the semaphore first.

#include "NameUse.h"

#include <memory>
#include <semaphore.h>
#include <string>

class CNamedEvent {
public:
    // Creates the event or opens the one another process created. The state
    // root is the one in force at construction.
    explicit CNamedEvent(const char* pszName);
    ~CNamedEvent();

    CNamedEvent(const CNamedEvent&) = delete;
    CNamedEvent& operator=(const CNamedEvent&) = delete;

    // False when the semaphore could not be created or was refused; every
    // call then fails.
    bool IsValid() const { return m_pSem != SEM_FAILED; }
    // Why the event is not valid; empty when it is, or when the system gave
    // no reason.
    const std::string& Error() const { return m_strError; }

    // An existing semaphore of another user, or one that others may post or
    // drain, is refused: whoever can post it can keep the server busy. True
    // when the event pszName of the current state root is safe to use
    // (also when it does not exist yet); otherwise strError says why.
    static bool CheckOwner(const char* pszName, std::string& strError);

    // Signals the event. Uses only sem_getvalue and sem_post, so a signal
    // handler may call it.
    bool Set();

    // Waits until the event is set and resets it. nTimeoutMs < 0 waits without
    // limit, 0 only tests. True when the event was set, false on timeout.
    bool Wait(int nTimeoutMs = -1);

    // The semaphore name used for pszName under the current state root,
    // making the root's name secret when it is missing. Empty without a
    // usable secret; pstrError then says why (SecretNameStem).
    static std::string SemaphoreName(const char* pszName, std::string* pstrError = nullptr);

    // Removes the semaphore of pszName under the current state root, so that
    // the next opener starts afresh. For tests and clean-up only.
    static void Remove(const char* pszName);

private:
    void Open(const char* pszName, const std::string& name);
    void Drain();

    sem_t* m_pSem = SEM_FAILED;
    std::string m_strError;
    std::unique_ptr<CNameUse> m_pUse; // goes after the semaphore is closed
};

// The names the program uses.
inline constexpr const char* kServerEventName = "TemporaServer";
inline constexpr const char* kClientEventName = "TemporaClient";
