#pragma once

// The last result of every job: how its latest scan ended, kept in the job
// store beside the jobs (one value per job name in its own key), so that the
// job record itself never changes shape. The scanner writes it when a scan
// ends; whoever fails to start the scanner writes a "not started" result.
// Results never travel with a job: job files and the clipboard carry the job
// record only.

#include "Registry.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// Key of the results below HKEY_LOCAL_MACHINE.
inline constexpr const char* kResultKeyPath = "Software\\Kestrow\\Rampart 8\\VexServ\\Results";

struct CJobResult {
    // How a run ended, from the least to the most serious: the list sorts by
    // this order, and the text of a result names its state.
    enum class EState { Clean = 1, Stopped, Changed, Suspicious, Error, NotStarted, Infected };

    // Longest reason kept; a longer one is cut, never a character split.
    static constexpr size_t kMaxReason = 1024;

    // Exit code recorded when the scanner could not be started at all.
    static constexpr int kNotStartedExitCode = -1;

    // Why a run did not scan.
    enum class ENotStarted : std::uint8_t {
        ScannerMissing = 0, // the scanner could not be started
        StillRunning,       // skipped: the job's previous scan still runs
        Refused,            // the scanner refused the command file
        Busy,               // the idle wait gave up: the processor stayed busy
        Cancelled,          // the idle wait was cancelled (the server stopped)
        BadFolder,          // not started: the folder is no absolute path the scanner takes
        ResultNotStored,    // the scanner ended without storing its result
    };

    // The signatures the scan had: its result warns when they were stale or
    // missing, as a scan with them finds nothing new.
    enum class ESignatures : std::uint8_t { Current = 0, Stale, Missing };

    bool m_bNotStarted = false;      // the scanner could not be started
    std::int64_t m_nFinished = 0;    // end of the run, seconds since 1970-01-01 UTC
    int m_nExitCode = 0;             // the scanner's exit code, or kNotStartedExitCode
    std::uint64_t m_nFiles = 0;      // files examined
    std::uint64_t m_nInfected = 0;   // infected files found
    std::uint64_t m_nChanged = 0;    // files that differ from their reference
    std::uint64_t m_nErrors = 0;     // files or folders that could not be examined or acted on
    std::uint64_t m_nSkipped = 0;    // files left out: not program files
    std::uint64_t m_nSuspicious = 0; // files with a heuristic alert only
    BYTE m_nSignal = 0;              // the signal that ended the scan early, if one did
    std::uint64_t m_nUnchecked = 0;  // of m_nFiles, not checked for want of signatures
    std::string m_strReason;         // why the scan failed or found no signatures (UTF-8)
    bool m_bStopped = false;         // the scan was stopped before its end
    bool m_bFailed = false;          // the scan could not be carried out at all
    ENotStarted m_eWhy = ENotStarted::ScannerMissing; // with m_bNotStarted
    ESignatures m_eSignatures = ESignatures::Current;
    std::uint16_t m_nSignatureDays = 0; // with Stale: the newest database's age
    // The end of the latest clean scan before this one (0: none known);
    // WriteJobResult carries it over from the result it replaces.
    std::int64_t m_nLastClean = 0;

    // A result for a run that did not scan, at time t.
    static CJobResult NotStarted(std::time_t t, ENotStarted why = ENotStarted::ScannerMissing);
    // A result for a scan that signal sig ended before it stored its own.
    static CJobResult Interrupted(std::time_t t, int sig);

    // Stored form, version 1 (little-endian, packed, 48 bytes):
    //   u8 version (1), u8 flags (bit 0 not started, bit 1 stopped, bit 2
    //   failed; other bits 0), u32 low and u32 high half of the end time
    //   (signed seconds since 1970 UTC), i32 exit code (-1 exactly when not
    //   started, else 0..255), u64 files, infected, changed, errors (each as
    //   low and high u32), u16 reserved (0); then u8 why a run did not
    //   scan (ENotStarted; 0 for a run that scanned), which older readers
    //   skip and which is taken as 0 when absent or unknown; then u64
    //   skipped files and u64 suspicious files (low and high u32 each) and
    //   u8 the signal that ended the scan, each taken as 0 when absent;
    //   then u8 the signatures' state (ESignatures; unknown taken as
    //   current), u16 their age in days, u64 the latest clean scan's end
    //   (low and high u32), each taken as 0 when absent;
    //   then u64 files not checked for want of signatures and the reason
    //   (u16 length, at most kMaxReason, and that many bytes of text), taken
    //   as 0 and empty when absent; a reason that runs past the end is
    //   damage.
    // Bytes after these are ignored, so a later writer may append fields
    // without breaking this reader; a field that changes meaning gets a new
    // version number, which this reader refuses.
    std::vector<BYTE> Store() const;
    // Replaces every field from the stored form; anything short, of another
    // version or inconsistent is rejected as a whole (false, result unchanged).
    bool Load(const BYTE* pBuf, size_t nAvail);

    EState GetState() const;
    // The list's text: "czysto", "infekcje: N", "zmiany: N", "błąd",
    // "zatrzymano", "nie uruchomiono", or why a run did not scan
    // ("pominięto: poprzednia analiza trwa", say); followed by
    // ", pominiętych N" when the scan left files out and by ", sygnatury
    // sprzed N dni" or ", brak sygnatur" when the signatures were stale
    // or missing (the latter only when no file count says it already). A
    // failure names its reason ("błąd: …"); files not checked for want of
    // signatures are named with their count, not passed off as examined.
    std::string GetText() const;
    // One English word per state for scripts, the journal and monitoring:
    // clean, stopped, changed, suspicious, error, not-started, infected.
    const char* GetStateWord() const;
    // The end time as ISO 8601 with the local UTC offset of that moment,
    // e.g. "2026-12-08T23:30:05+01:00".
    std::string GetFinishedIso() const;
    // The end of the latest clean scan: this one's when it is clean, else
    // the one carried over; 0 when none is known.
    std::int64_t LastCleanTime() const;

    bool operator==(const CJobResult&) const = default;

private:
    std::string StateText() const; // GetText without the skipped files
};

// The list's order of results: by state, then by end time; a job without a
// result (pResult null) comes before every result.
bool JobResultLess(const CJobResult* pA, const CJobResult* pB);

// Writes the result of the named job durably and then signals
// "TemporaClient", so that open windows show it. Creates the key when needed.
// A result that is not clean and carries no latest clean scan gets that of
// the older result it replaces.
bool WriteJobResult(const char* pszJobName, const CJobResult& result, LONG* pnError = nullptr);
// False when there is no result for the name or it does not load.
bool ReadJobResult(const char* pszJobName, CJobResult& result);

// Reads results through one open key, for callers that read one per job (the
// list, `tempora list`): opening the key costs far more than a read. The key
// is opened on first use, and again while it does not exist yet. One thread
// at a time.
class CJobResultReader {
public:
    CJobResultReader() = default;
    ~CJobResultReader();
    CJobResultReader(const CJobResultReader&) = delete;
    CJobResultReader& operator=(const CJobResultReader&) = delete;

    bool Read(const char* pszJobName, CJobResult& result);
    // Starts a new pass over the jobs: a key that was missing is looked for
    // again on the next read.
    void Retry() { m_bMissing = false; }

private:
    HKEY m_hKey = nullptr;
    // While no job has a result the key does not exist; opening it for every
    // row of a list would cost far more than the rows themselves, so a
    // missing key is looked for once per pass.
    bool m_bMissing = false;
};
// Records that the named job's scanner could not be started, now.
bool WriteNotStartedResult(const char* pszJobName,
                           CJobResult::ENotStarted why = CJobResult::ENotStarted::ScannerMissing);
// Removes the named job's result from the results key hResults (null: no
// results yet); a missing one is no error. For a caller's transaction.
LONG DeleteJobResultIn(HKEY hResults, const char* pszJobName);
// Moves a result in hResults (null: no results yet) to a job's new name
// (also when only the case changes); with no result under the old name, any
// result under the new name goes too, as a renamed job has never run under
// it. For a caller's transaction, so that the job and its result move
// together.
LONG MoveJobResultIn(HKEY hResults, const char* pszOldName, const char* pszNewName);

// A time (seconds since 1970) as local ISO 8601 with its UTC offset
// ("2026-12-08T23:20:05+01:00"); empty when it cannot be shown.
std::string LocalIsoTime(std::int64_t seconds);
