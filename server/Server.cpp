#include "Server.h"

#include "StatePaths.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

std::atomic<CServer*> g_pStopTarget{nullptr};

void OnStopSignal(int) {
    if (CServer* pServer = g_pStopTarget.load())
        pServer->RequestStop();
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

CServer::CServer() : m_lock(kServerMutexName) {}

CServer::~CServer() {
    CServer* self = this;
    g_pStopTarget.compare_exchange_strong(self, nullptr);
}

bool CServer::Start(std::string& strError) {
    const CStateProblem problem = CheckStateRoot();
    if (problem.kind != CStateProblem::None) {
        strError = "refusing to serve an unsafe state root: " + DescribeStateProblem(problem);
        return false;
    }
    if (!m_lock.TryLock()) {
        const long holder = CNamedMutex::HolderUid(kServerMutexName);
        m_bAnotherRunning = holder >= 0 || CNamedMutex::IsHeld(kServerMutexName);
        if (holder >= 0 && holder != static_cast<long>(geteuid()))
            strError = "user " + std::to_string(holder) + " holds the scan server's name for " +
                       StateRoot() + "; refusing to start";
        else if (m_bAnotherRunning)
            strError = "another scan server is already running for " + StateRoot();
        else
            strError = "cannot create the lock file " + CNamedMutex::LockPath(kServerMutexName);
        return false;
    }
    m_pServerEvent = std::make_unique<CNamedEvent>(kServerEventName);
    m_pClientEvent = std::make_unique<CNamedEvent>(kClientEventName);
    for (const CNamedEvent* pEvent : {m_pServerEvent.get(), m_pClientEvent.get()}) {
        if (!pEvent->Error().empty()) {
            strError = "refusing to start: " + pEvent->Error();
            m_lock.Unlock();
            return false;
        }
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
    while (!IsStopRequested()) {
        // A deleted lock file would let a second server in unseen by the
        // windows' presence test: make it anew.
        if (!m_lock.Verify()) {
            std::fprintf(stderr, "vexserv: the lock %s cannot be taken again; stopping\n",
                         CNamedMutex::LockPath(kServerMutexName).c_str());
            break;
        }
        const int nWaitMs = pWork ? pWork->RunPass(*this) : -1;
        if (IsStopRequested())
            break;
        WaitForWake(nWaitMs);
    }
    if (pWork)
        pWork->Stop();
    return 0;
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
