#pragma once

#include "OleDateTime.h"
#include "Period.h"
#include "ScanParameter.h"
#include "StringTable.h"
#include "SystemTime.h"

#include <atomic>
#include <cstddef>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class CCpuLoad;
class CJob;

// Seams of a run, so that tests drive the idle wait in milliseconds: the
// clock, the sleep, the processor load and the scanner start. Unset members
// mean the real ones (JobRun.cpp).
struct CJobRunSeams {
    std::function<COleDateTime()> m_now;
    std::function<void(int nMilliseconds)> m_sleep;
    std::function<int()> m_load;
    std::function<bool(CJob&)> m_launch;
};

// One scan job: name, active switch, scan options, schedule and last start.
//
// Stored form (little-endian, packed), shared by the job store, job files,
// the clipboard and the scan server:
//   u32 N (name length + 1), the name and a zero byte,
//   active flag (1 byte), last start (SYSTEMTIME, 8 x u16), has-started flag
//   (1 byte), the schedule's stored form, the scan options' stored form.
// The last start is a local wall-clock time with seconds 0; its milliseconds
// field is 1 when the time lies in the second pass of an hour that the
// autumn clock change repeats, else 0 (readers that ignore it lose only that).
// The run-time fields below the stored ones are never stored.
class CJob {
public:
    // Longest name in bytes, without the terminating zero.
    static constexpr size_t kMaxNameLength = 259;
    // Size of the buffers behind the text operations, zero included.
    static constexpr int kTextSize = 260;

    // An active job with default scan options and a daily schedule without a
    // time, so not yet IsActive().
    CJob();
    ~CJob();
    CJob(const CJob&) = delete;
    CJob& operator=(const CJob&) = delete;

    // Never null.
    const char* GetName() const { return m_strName.c_str(); }
    // Keeps at most kMaxNameLength bytes, never splitting a UTF-8 character.
    void SetName(const char* psz);

    // The switch is on and the schedule is complete.
    bool IsActive() const;
    // Sets the switch. Returns false when b is true but the job still cannot
    // be active because its schedule is incomplete (the switch stays on).
    // Switching it back on re-bases the reference (RebaseReference): a job
    // that was off has missed nothing.
    bool SetActive(bool b);
    bool IsPeriodValid() const { return m_pPeriod->IsValid(); }

    CScanParameter& GetScanParameter() { return m_ScanParameter; }
    const CScanParameter& GetScanParameter() const { return m_ScanParameter; }
    const char* GetDirectory() const { return m_ScanParameter.GetDirectory(); }

    // Lent, never null; the job keeps ownership.
    CPeriod* GetPeriod() const { return m_pPeriod.get(); }
    // Takes a copy of src and restarts its count: the reference time becomes
    // one minute before ref (seconds dropped) and the job has not started.
    void SetPeriod(const CPeriod& src, const COleDateTime& ref);
    // The schedule's description in a 260-byte buffer of this operation's own,
    // valid until the next call on the same thread.
    const char* GetPeriodText(HINSTANCE hRes) const;

    // The reference time of the schedule: the last start, or one minute
    // before the schedule was set.
    COleDateTime GetLastStart() const { return COleDateTime(m_LastStart); }
    // The job has really started since its schedule was set.
    bool HasLastStart() const { return m_bHasLastStart; }
    // Stamps the reference time from t (seconds and milliseconds 0) and sets
    // the has-started flag to bStarted. An invalid t leaves the time alone.
    void SetLastStart(const COleDateTime& t, bool bStarted);
    // The same from an instant, which also tells which pass of a repeated
    // hour the stamp belongs to.
    void SetLastStartAt(time_t t, bool bStarted);
    // The reference time as an instant (see LocalInstant.h).
    time_t GetLastStartInstant() const;
    // A job that never ran here, or that is switched back on, has missed
    // nothing: the reference becomes one minute before now and the job has
    // not started, so its first start is its next scheduled time after now.
    void RebaseReference(time_t now);
    // A job that comes in from a job file or the clipboard has never run on
    // this machine, so it is re-based; one that replaces an active stored job
    // (pReplaced) takes over that job's last start instead, so that a start
    // it missed is still caught up.
    void PrepareIncoming(const CJob* pReplaced, time_t now);
    // The last start and has-started flag of other, exactly as stored.
    void CopyLastStart(const CJob& other);
    bool HasSameLastStart(const CJob& other) const;
    void ClearLastStart() { m_bHasLastStart = false; }
    // Takes over what an edit changed: each stored field (the name, the
    // switch, the schedule, the last start, each scan option) in which edited
    // differs from read, the job as the edit began, is copied from edited;
    // every other field keeps this job's value. So an edit made on a copy
    // undoes nothing that was stored while it was made.
    void TakeEdits(const CJob& read, const CJob& edited);

    int GetRowIndex() const { return m_nRowIndex; }
    void SetRowIndex(int n) { m_nRowIndex = n; }

    // What keeps a job from being stored or carried out.
    enum class EFault { None, NoName, LongName, NotText, Option, Directory, ControlInName };
    // What the store accepts (JobCheck.cpp): a name of 1 to kMaxNameLength
    // bytes of valid UTF-8 and scan options within their choices. A loaded
    // job may break these rules, so that any stored value can still be
    // listed and deleted.
    EFault CheckStorable() const;
    // The rule for a new job's name, wherever one comes in: the command
    // line, the job dialog, job files and the clipboard. Storable, and no
    // line break, tab or other control character (nor a line or paragraph
    // separator), which would break the one-line texts that carry the name:
    // the list, the scan log, the scanner's command file. Jobs stored before
    // keep working under their names.
    static EFault CheckName(std::string_view name);
    // What a job file or the clipboard may bring in: a name by CheckName,
    // and carriable.
    EFault CheckIncoming() const;
    // What may come in from outside (job files, the clipboard): storable,
    // and a folder the scanner takes, so that the job can also be run.
    EFault CheckCarriable() const;
    // The fault in words, for a message.
    static std::string DescribeFault(EFault fault);

    // Size of the stored form.
    int GetStoreSize() const;
    // Allocates a buffer of exactly the stored size with new[], writes the
    // stored form into it and hands it over through pBuf (the caller
    // delete[]s it). Returns the size.
    int Store(BYTE*& pBuf) const;
    std::vector<BYTE> Store() const;
    // Replaces every stored field from the stored form in the nAvail bytes at
    // pBuf. A form that does not fit, or whose schedule names no known kind,
    // is rejected as a whole: false, and the job is left as it was. Bytes
    // after the scan options are ignored. Run-time fields are never touched.
    // *pConsumed (optional) receives the bytes up to the scan options' end,
    // which exceeds GetStoreSize() when the name field is padded after its
    // zero byte (other writers do that).
    bool Load(const BYTE* pBuf, size_t nAvail, size_t* pConsumed = nullptr);

    // Texts and sort keys of the job list. The texts live in a 260-byte
    // buffer per operation, valid until its next call on the same thread.
    //
    // Next start: "wyłączony" when not active, empty when the schedule gives
    // no start after the reference time; else the time remaining, rounded up
    // to whole minutes ("teraz" when due), or the date in date mode.
    const char* GetNextStartText(HINSTANCE hRes, bool bCountdown) const;
    // Date and time of the last start; empty when the job never started.
    const char* GetLastStartText() const;
    // Seconds from now to the next start, in real elapsed time; 0 when due,
    // -1 when none.
    int GetSecondsToNextStart(time_t now) const;
    // The instant of the next start as the server sees it at `now`: hourly
    // starts follow real hours; the other kinds follow the wall clock (a start
    // in the hour a spring change skips comes at the change, one in a
    // repeated hour at its first pass). A reference time after now counts as
    // now, so a clock that ran ahead does not hold the job back; a one-off
    // keeps its reference, since a stamp after its time means it has run.
    // False when the job is off or its schedule gives no start.
    bool GetNextStart(time_t now, time_t& next) const;
    // A repeating schedule set just now starts at its next time after now,
    // never at once for the minute that has begun: when its first start is
    // due already, the reference moves to now's minute. A one-off keeps its
    // time (PassedOnceMessage refuses one that has passed).
    void SkipDueStart(time_t now);
    // The reference time lies after now (the clock ran ahead and was set
    // back) and counts as now; a one-off's never does (see GetNextStart).
    bool IsReferenceAhead(time_t now) const;
    // Seconds from 1970-01-01 00:00 to the last start, both local wall-clock
    // times; -1 when the job never started.
    int GetLastStartSeconds() const;

private:
    void WriteStoredForm(BYTE* pBuf) const;

    // Stored fields.
    std::string m_strName;
    bool m_bActive = true;
    CScanParameter m_ScanParameter;
    std::unique_ptr<CPeriod> m_pPeriod;
    SYSTEMTIME m_LastStart{};
    bool m_bHasLastStart = false;

    int m_nRowIndex = -1;

public:
    // Run-time state of a run of this job, never stored.
    std::atomic<bool> m_bRunning{false}; // clearing it cancels a waiting run
    std::string m_strScanner;            // scanner program of the current run
    int m_nBusyPercent = 33;             // load at or above which the machine is busy
    int m_nBusyMinutes = 1;              // minutes a busy machine is tolerated
    int m_nIdlePercent = 25;             // load at or below which it is quiet again

    // Running (JobRun.cpp). Run stores the scanner path and runs the job on
    // the calling thread: stamps the last start, waits for idle time when the
    // schedule asks for it and the run is on a worker thread (m_hThread set),
    // then starts the scanner. RunJob is the same as a thread procedure.
    // StillRunning: the job's previous scan had not ended, none was started.
    // Refused: the scanner ended without taking its command file, which is
    // removed.
    enum class ERunResult { Started, LaunchFailed, GivenUp, Cancelled, StillRunning, Refused };
    // How long a run waits for the scanner to take its command file; a
    // scanner still starting after that is taken to run.
    static constexpr int kCommandTakeWaitMs = 5000;
    int Run(const char* pszScanner);
    static unsigned RunJob(void* pJob);
    ERunResult Execute(); // the run itself, telling how it ended
    // Processor load of the idle wait: baseline, percent since the previous
    // reading (0 when unknown), end.
    bool StartCpuStats();
    int GetCpuUsage();
    void StopCpuStats();
    std::thread::id m_hThread;                 // worker thread of the run; none: no idle wait
    std::shared_ptr<CCpuLoad> m_pStatKey;      // load readings while the wait runs
    const CJobRunSeams* m_pRunSeams = nullptr; // tests only
    // Set by a caller that reaps the scanner itself: Execute then leaves the
    // started scanner's process and command file here; otherwise a thread of
    // the run reaps it.
    bool m_bKeepScanner = false;
    // Set for one run that must read every file, not only what changed since
    // an earlier scan (the scanner's verdict cache); never stored.
    bool m_bFullScan = false;
    CLaunchedScanner m_launched;

private:
    ERunResult Launch(); // starts the scanner and learns whether it took the run
    bool WaitForIdle();  // true when it ended busy
    COleDateTime RunNow() const;
    void RunSleep(int nMilliseconds) const;
};

// The refusal of a one-off schedule whose time is not after now, as the job
// dialog and tempora give it; empty for any other schedule.
std::string PassedOnceMessage(const CPeriod& period, time_t now);
