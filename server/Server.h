#pragma once

// The scan server's frame: it owns the "VexServ" lock for its whole life,
// creates the events "TemporaServer" (it waits on it) and "TemporaClient"
// (it signals the windows with it), and runs its work between waits until
// SIGTERM or SIGINT asks it to stop; SIGHUP asks for a pass at once. It also
// wakes at every minute boundary of the wall clock and signals the windows
// then, so that their countdowns to the next start stay true without a timer
// of their own.

#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "NamedMutex.h"
#include "ServerWork.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class CServer {
public:
    CServer();
    ~CServer();
    CServer(const CServer&) = delete;
    CServer& operator=(const CServer&) = delete;

    // Takes the lock and creates the events. On failure strError says why and
    // IsAnotherRunning() tells whether another server holds the lock.
    bool Start(std::string& strError);
    bool IsAnotherRunning() const { return m_bAnotherRunning; }

    // Routes SIGTERM and SIGINT to RequestStop of this server, and SIGHUP to
    // RequestPass. Call it before Start, so that a signal never finds the
    // default action (which would end the server).
    void HandleStopSignals();

    // Runs pWork (may be null: the server then only waits) until a stop is
    // requested. Returns the exit code.
    int Run(IServerWork* pWork);

    // Safe from a signal handler: sets a flag and wakes the wait.
    void RequestStop();
    // Safe from a signal handler: ends the current wait, so that the work
    // runs a pass at once.
    void RequestPass();
    bool IsStopRequested() const { return m_bStop.load(); }

    // Tells every open window to re-read the store.
    void SignalClients();

    // Milliseconds since the epoch; tests put a clock near a minute's end.
    using WallClock = std::function<long long()>;
    void SetWallClock(WallClock clock) { m_wallClock = std::move(clock); }

private:
    void WaitForWake(int nTimeoutMs);
    // nTimeoutMs cut to the next minute boundary (a negative one: until it).
    int UntilNextMinute(int nTimeoutMs) const;

    CNamedMutex m_lock;
    std::unique_ptr<CNamedEvent> m_pServerEvent;
    std::unique_ptr<CNamedBroadcast> m_pClientEvent;
    std::atomic<CNamedEvent*> m_pWakeEvent{nullptr}; // what a signal handler may touch
    std::atomic<bool> m_bStop{false};
    bool m_bAnotherRunning = false;
    WallClock m_wallClock;
};
