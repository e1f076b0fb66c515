#include "Job.h"

#include "Clock.h"
#include "CpuLoad.h"

#include <chrono>
#include <thread>

namespace {

constexpr int kPollMilliseconds = 100;

} // namespace

COleDateTime CJob::RunNow() const {
    return m_pRunSeams && m_pRunSeams->m_now ? m_pRunSeams->m_now()
                                             : COleDateTime::GetCurrentTime();
}

void CJob::RunSleep(int nMilliseconds) const {
    if (m_pRunSeams && m_pRunSeams->m_sleep)
        m_pRunSeams->m_sleep(nMilliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(nMilliseconds));
}

int CJob::Run(const char* pszScanner) {
    m_strScanner = pszScanner ? pszScanner : "";
    return static_cast<int>(RunJob(this));
}

unsigned CJob::RunJob(void* pJob) {
    static_cast<CJob*>(pJob)->Execute();
    return 0;
}

CJob::ERunResult CJob::Execute() {
    // The start is stamped whether or not the scanner starts, so the next
    // start is computed from this attempt.
    if (m_pRunSeams && m_pRunSeams->m_now)
        SetLastStart(m_pRunSeams->m_now(), true);
    else
        SetLastStartAt(CurrentTime(), true);
    m_bRunning = true;
    bool bBusy = false;
    if (m_pPeriod->GetIdle() && m_hThread != std::thread::id()) {
        bBusy = WaitForIdle();
        if (!m_bRunning) {
            m_hThread = std::thread::id();
            return ERunResult::Cancelled;
        }
    }
    ERunResult result = ERunResult::GivenUp;
    if (bBusy)
        m_bRunning = false;
    if (m_bRunning) {
        result = Launch();
        m_bRunning = false;
    }
    m_hThread = std::thread::id();
    return result;
}

CJob::ERunResult CJob::Launch() {
    m_launched = CLaunchedScanner();
    bool bStillRunning = false;
    const bool bStarted = m_pRunSeams && m_pRunSeams->m_launch
                              ? m_pRunSeams->m_launch(*this)
                              : m_ScanParameter.Launch(m_strScanner.c_str(), GetName(),
                                                       &bStillRunning, &m_launched, m_bFullScan);
    if (!bStarted)
        return bStillRunning ? ERunResult::StillRunning : ERunResult::LaunchFailed;
    if (m_launched.pid <= 0)
        return ERunResult::Started; // a test's stand-in launch
    // Only a scanner that took its command file runs the scan: a run it
    // refused is no start, and its file would otherwise stay behind.
    if (AwaitCommandTake(m_launched, kCommandTakeWaitMs) == ECommandTake::Refused)
        return ERunResult::Refused;
    if (!m_bKeepScanner) {
        ReapInBackground(m_launched);
        m_launched = CLaunchedScanner();
    }
    return ERunResult::Started;
}

bool CJob::WaitForIdle() {
    const COleDateTime deadline = RunNow() + COleDateTimeSpan(0, 0, m_pPeriod->GetIdleMinutes(), 0);
    COleDateTime busyDeadline;
    bool bBusy = false;
    StartCpuStats();
    while (RunNow() <= deadline) {
        if (!m_bRunning)
            break;
        const int load = GetCpuUsage();
        if (!bBusy) {
            if (load >= m_nBusyPercent) {
                busyDeadline = RunNow() + COleDateTimeSpan(0, 0, m_nBusyMinutes, 0);
                bBusy = true;
            }
        } else if (load > m_nIdlePercent) {
            if (RunNow() >= busyDeadline)
                break; // busy for the whole grace: give up
        } else {
            bBusy = false;
        }
        RunSleep(kPollMilliseconds);
    }
    StopCpuStats();
    return bBusy;
}

bool CJob::StartCpuStats() {
    if (m_pRunSeams && m_pRunSeams->m_load)
        return true;
    auto stats = std::make_shared<CCpuLoad>();
    bool ok = stats->Start();
    m_pStatKey = stats; // the baseline of the first reading, even if it failed
    return ok;
}

int CJob::GetCpuUsage() {
    if (m_pRunSeams && m_pRunSeams->m_load)
        return m_pRunSeams->m_load();
    if (!m_pStatKey)
        m_pStatKey = std::make_shared<CCpuLoad>();
    return m_pStatKey->Read();
}

void CJob::StopCpuStats() {
    m_pStatKey.reset();
}
