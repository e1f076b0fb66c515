#pragma once

#include "AllowList.h"
#include "ClamEngine.h"
#include "CommandFile.h"
#include "FileAction.h"
#include "MountGuard.h"
#include "ReferenceList.h"
#include "ScanLog.h"
#include "ScanPaths.h"
#include "ScanResult.h"
#include "VerdictCache.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <thread>
#include <vector>

// One scan of a job's folder as its command file asks. The walk does not
// follow symbolic links and does not enter /proc, /sys, /dev or the
// quarantine; worker threads share one compiled signature engine; findings
// are acted on one at a time; the log lists files in the order of the walk.
// Nor does the walk enter network file systems mounted below the folder
// (MountGuard.h). A file that the verdict cache knows as clean under the
// same signatures and options, unchanged since, is not read at all; the
// signatures are loaded only once a file needs them.
class CScanner {
public:
    CScanner(const CScanCommand& cmd, const CScanPaths& paths, std::string signatureFolder);
    ~CScanner();
    CScanner(const CScanner&) = delete;
    CScanner& operator=(const CScanner&) = delete;

    CScanResult Run();
    // Ends the scan early, from any thread (the user's stop button).
    void RequestStop();
    // Ends the scan early because the process got signal sig; safe in a
    // signal handler.
    void Interrupt(int sig);
    // Adds a line to the log after the scan (a failure to store its result).
    void LogAfterScan(const std::string& text);
    // This scan as a window drives it.
    CScanTask Task();

    // Messages for the user (errors); stderr unless replaced.
    std::function<void(const std::string&)> m_report;
    unsigned m_nThreads = 0; // 0: one per processor it may use (UsableProcessors)
    IScanProgress* m_pProgress = nullptr;
    // Told the count of files dealt with, as each one is; for whoever
    // shows the scan to other processes.
    std::function<void(size_t filesDone)> m_onFileDone;
    // The verdict cache: false keeps it out of the scan altogether; with
    // m_bFullScan every file is read, and what is learnt is still kept.
    bool m_bUseVerdictCache = true;
    bool m_bFullScan = false;
    // Whether files in the open folder fd keep stable inode numbers and
    // status-change times (local file systems); tests replace it.
    std::function<bool(int fd)> m_isStableFileSystem;
    // A file whose status changed this close before the scan began is read
    // all the same: a change in the same clock tick would not show.
    std::chrono::nanoseconds m_sameTick = std::chrono::seconds(2);

private:
    struct Dir;
    struct Item;
    struct Outcome;
    struct Shared;

    void NoteSignatures();
    bool LoadEngine();
    bool EnsureEngine();
    void OpenVerdictCache();
    bool IsTrustedTime(const struct stat& st) const;
    bool AnswerFromCache(const Dir& dir, const std::string& name, const struct stat& st);
    void RememberClean(const Dir& dir, int fd, const struct stat& before, const Outcome& out);
    void OpenQuarantine();
    void LoadAllowList();
    bool IsAllowed(int fd, const struct stat& st, Outcome& out) const;
    void ScanTree(int rootFd, const std::string& root);
    void StartWorkers();
    void WalkDirectory(const std::shared_ptr<Dir>& dir, int depth);
    void Worker();
    bool Examine(const Item& item, Outcome& out, char* buffer);
    static ssize_t ReadInto(int fd, char* buffer, size_t size, size_t offset);
    bool IsOverEngineLimit(const struct stat& st, Outcome& out) const;
    bool ReadAndCheck(int fd, std::string_view data, bool complete, Outcome& out);
    static void TakeVerdict(const CVerdict& verdict, Outcome& out);
    void ActOnFinding(const Item& item, int fd, Outcome& out);
    static void Report(EFileAction result, const std::string& done, const std::string& error,
                       Outcome& out);
    void Deliver(uint64_t seq, Outcome out);
    void DeliverError(const std::string& path, const std::string& message);
    void DeliverNotEntered(const std::string& path, const std::string& why);
    void Emit(Outcome& out);
    void CheckReference(Outcome& out);
    void FinishReferences();
    void Stop();
    void WalkProgress(bool done);
    static bool IsForbiddenTree(const std::string& path, int fd);

    CScanCommand m_cmd;
    CScanPaths m_paths;
    std::string m_strSignatures;
    int m_nQuarantineFd = -1; // open before the walk, which never enters it
    dev_t m_quarantineDev = 0;
    ino_t m_quarantineIno = 0;
    std::string m_strQuarantineError; // why it could not be opened
    CMountGuard m_mounts;
    CScanLog m_log;
    CClamEngine m_engine;
    std::mutex m_engineMutex;
    std::atomic<bool> m_bEngineTried{false};
    CVerdictCache m_cache;
    CAllowList m_allow;          // read before the walk, then only looked up
    std::int64_t m_nStartNs = 0; // the scan's start, nanoseconds since 1970
    CReferenceList m_oldRefs;
    CReferenceList m_newRefs;
    bool m_bCheckReferences = false; // on, and the signatures are there
    bool m_bHaveRefs = false;        // a reference list existed before this scan
    bool m_bRefsUsable = false;      // the old list could be read
    CScanResult m_result;

    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bUserStop{false};
    std::atomic<int> m_nSignal{0};
    std::mutex m_actionMutex; // one infection action at a time
    std::mutex m_collectMutex;
    std::condition_variable m_room;
    std::unique_ptr<Shared> m_pShared;  // work queue and finished files while a walk runs
    std::vector<std::thread> m_workers; // started with the first file to read
    unsigned m_nWorkerCount = 1;
    uint64_t m_nNextSeq = 0; // next outcome to emit, in walk order
    uint64_t m_nWalkSeq = 0; // outcomes the walk has asked for
    size_t m_nFilesDone = 0;
};
