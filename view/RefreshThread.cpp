#include "RefreshThread.h"

#include "NamedBroadcast.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {
// How often the waiting thread looks whether it should end. The stop does not
// signal the event: "TemporaClient" is shared by every window of the state
// root, and a signal could wake another program's thread instead of this one.
constexpr int kPollMs = 100;
} // namespace

struct CRefreshThread::State {
    std::shared_ptr<CNamedBroadcast> pEvent;
    std::atomic<bool> bRunning{false};
    // Read and cleared on the user-interface thread only.
    std::function<void()> onRefresh;
    std::promise<void> ended;
    std::future<void> endedFuture = ended.get_future();
    std::thread thread;
};

CRefreshThread::CRefreshThread(std::shared_ptr<CNamedBroadcast> pEvent,
                               std::function<void()> onRefresh)
    : m_pState(std::make_shared<State>()) {
    m_pState->pEvent = std::move(pEvent);
    m_pState->onRefresh = std::move(onRefresh);
}

CRefreshThread::~CRefreshThread() {
    Stop();
}

void CRefreshThread::Start() {
    // Without its event the thread could only spin.
    if (m_bStarted || !m_pState->pEvent || !m_pState->pEvent->IsValid())
        return;
    m_bStarted = true;
    m_pState->bRunning = true;
    // The thread keeps the state alive, so a thread left behind at a stop
    // still finds its event and flag.
    m_pState->thread = std::thread([state = m_pState] {
        while (state->bRunning.load()) {
            if (!state->pEvent->Wait(kPollMs) || !state->bRunning.load())
                continue;
            // Runs later on the user-interface thread, where the refresh
            // function is looked up afresh: a stopped thread's is gone.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [state] {
                    if (state->onRefresh)
                        state->onRefresh();
                },
                Qt::QueuedConnection);
        }
        state->ended.set_value();
    });
}

bool CRefreshThread::Stop(int nTimeoutMs) {
    m_pState->onRefresh = nullptr;
    if (!m_bStarted || !m_pState->thread.joinable())
        return true;
    m_pState->bRunning = false;
    const bool bEnded = m_pState->endedFuture.wait_for(std::chrono::milliseconds(nTimeoutMs)) ==
                        std::future_status::ready;
    if (bEnded)
        m_pState->thread.join();
    else
        m_pState->thread.detach();
    return bEnded;
}

bool CRefreshThread::IsRunning() const {
    return m_pState->thread.joinable() && m_pState->bRunning.load();
}
