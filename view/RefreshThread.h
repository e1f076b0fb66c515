#pragma once

#include <functional>
#include <memory>

class CNamedBroadcast;

// The job list's refresh thread: it waits on the named event "TemporaClient"
// and turns each signal into a call of the refresh function on the user
// interface thread. It never touches the list itself. Signals that arrive
// before the thread waits again collapse into one.
class CRefreshThread {
public:
    // onRefresh runs on the thread that owns the application object; pEvent
    // is the event to wait on.
    CRefreshThread(std::shared_ptr<CNamedBroadcast> pEvent, std::function<void()> onRefresh);
    // Stops the thread (see Stop).
    ~CRefreshThread();
    CRefreshThread(const CRefreshThread&) = delete;
    CRefreshThread& operator=(const CRefreshThread&) = delete;

    void Start();
    // Asks the thread to end and waits for it at most nTimeoutMs. No refresh
    // is delivered after this returns. True when the thread has ended; a
    // thread that does not end in time is left behind.
    bool Stop(int nTimeoutMs = 5000);
    bool IsRunning() const;

private:
    struct State;
    std::shared_ptr<State> m_pState;
    bool m_bStarted = false;
};
