#include "Server.h"

#include "LineText.h"
#include "StatePaths.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

constexpr long long kMinuteMs = 60 * 1000;
// Wakes just past the boundary, so that the new minute is the one seen.
constexpr long long kBoundarySlackMs = 5;

std::atomic<CServer*> g_pStopTarget{nullptr};

long long SystemWallClock() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void OnStopSignal(int) {
    if (CServer* pServer = g_pStopTarget.load())
        pServer->RequestStop();
}

// A scanner of ours ended: a pass now records and logs its end when it
// happened, not at the next minute.
void OnChildEnded(int) {
    if (CServer* pServer = g_pStopTarget.load())
        pServer->RequestPass();
}

// SIGHUP, as daemons take it: read everything again, which the next pass
// does anyway; so it only needs to come now.
void OnReloadSignal(int) {
    if (CServer* pServer = g_pStopTarget.load())
        pServer->RequestPass();
}

} // namespace

static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal");
static_assert(std::atomic<CServer*>::is_always_lock_free, "read from a signal handler");
static_assert(std::atomic<CNamedEvent*>::is_always_lock_free, "read from a signal handler");

CServer::CServer() : m_lock(kServerMutexName), m_wallClock(SystemWallClock) {}

CServer::~CServer() {
    CServer* self = this;
    g_pStopTarget.compare_exchange_strong(self, nullptr);
}

bool CServer::Start(std::string& strError) {
    const CStateProblem problem = CheckStateRoot();
    if (problem.kind != CStateProblem::None) {
        strError = "niebezpieczny katalog stanu, odmowa pracy: " +
                   DescribeStateProblemPl(problem, problem.strPath, "'" + problem.strPath + "'");
        return false;
    }
    if (!m_lock.TryLock()) {
        m_bAnotherRunning = m_lock.IsBusy();
        if (m_bAnotherRunning)
            strError = "inny serwer analiz już działa dla " + StateRoot();
        else if (!m_lock.Error().empty())
            strError = "odmowa startu: " + m_lock.Error();
        else
            strError =
                "nie można utworzyć pliku blokady " + CNamedMutex::LockPath(kServerMutexName);
        return false;
    }
    // Taken names stop nothing, but whoever took one should be known.
    if (m_lock.OtherUid() >= 0)
        std::fprintf(
            stderr,
            "vexserv: jedną z nazw serwera zajmuje użytkownik %ld; serwer działa bez niej\n",
            m_lock.OtherUid());
    m_pServerEvent = std::make_unique<CNamedEvent>(kServerEventName);
    m_pClientEvent = std::make_unique<CNamedBroadcast>(kClientEventName);
    if (!m_pServerEvent->Error().empty() || !m_pClientEvent->IsValid()) {
        strError = "odmowa startu: " +
                   (m_pServerEvent->Error().empty()
                        ? std::string("nie można użyć zdarzenia TemporaClient (należy do innego "
                                      "użytkownika albo mogą je zmieniać inni)")
                        : m_pServerEvent->Error());
        m_lock.Unlock();
        return false;
    }
    m_pWakeEvent.store(m_pServerEvent.get());
    return true;
}

void CServer::HandleStopSignals() {
    g_pStopTarget.store(this);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    action.sa_handler = OnReloadSignal;
    sigaction(SIGHUP, &action, nullptr);
    action.sa_handler = OnChildEnded;
    action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigaction(SIGCHLD, &action, nullptr);
    // A standard error nobody reads any more (a journal that went away) is a
    // failed write, not the end of the server.
    std::signal(SIGPIPE, SIG_IGN);
}

void CServer::RequestPass() {
    if (CNamedEvent* pEvent = m_pWakeEvent.load())
        pEvent->Set();
}

void CServer::RequestStop() {
    m_bStop.store(true);
    if (CNamedEvent* pEvent = m_pWakeEvent.load())
        pEvent->Set();
}

void CServer::SignalClients() {
    if (m_pClientEvent)
        m_pClientEvent->Set();
}

int CServer::Run(IServerWork* pWork) {
    long long minute = m_wallClock() / kMinuteMs;
    while (!IsStopRequested()) {
        // A deleted lock file would let a second server in unseen by the
        // windows' presence test: make it anew.
        if (!m_lock.Verify()) {
            std::fprintf(stderr, "vexserv: nie można ponownie zająć blokady %s; koniec pracy\n",
                         EscapePath(CNamedMutex::LockPath(kServerMutexName)).c_str());
            break;
        }
        const int nWaitMs = pWork ? pWork->RunPass(*this) : -1;
        if (IsStopRequested())
            break;
        WaitForWake(UntilNextMinute(nWaitMs));
        // A new minute changes every countdown the windows show.
        const long long now = m_wallClock() / kMinuteMs;
        if (now != minute) {
            minute = now;
            SignalClients();
        }
    }
    if (pWork)
        pWork->Stop();
    return 0;
}

int CServer::UntilNextMinute(int nTimeoutMs) const {
    const long long now = m_wallClock();
    const long long boundary = (now / kMinuteMs + 1) * kMinuteMs;
    const int untilBoundary = static_cast<int>(boundary - now + kBoundarySlackMs);
    return nTimeoutMs < 0 ? untilBoundary : std::min(nTimeoutMs, untilBoundary);
}

// Waits for "TemporaServer" or the timeout. Without a usable event the
// server still notices a stop within a second.
void CServer::WaitForWake(int nTimeoutMs) {
    if (m_pServerEvent && m_pServerEvent->IsValid()) {
        m_pServerEvent->Wait(nTimeoutMs);
        return;
    }
    const int nSliceMs = nTimeoutMs < 0 ? 1000 : std::min(nTimeoutMs, 1000);
    const timespec slice{nSliceMs / 1000, static_cast<long>(nSliceMs % 1000) * 1000000L};
    nanosleep(&slice, nullptr);
}
