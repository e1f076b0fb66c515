#include "Scanner.h"

#include "FileAction.h"
#include "FileOps.h"
#include "FolderOpen.h"
#include "LineText.h"
#include "Processors.h"
#include "ProgramFile.h"
#include "Quarantine.h"
#include "ScanQueue.h"
#include "SignatureInfo.h"
#include "TestString.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clamav.h>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <map>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxDepth = 256;
constexpr size_t kChunk = 64 * 1024;
// Files up to this size are read whole, once (see Examine); the buffer for
// that stays with each worker thread.
constexpr size_t kWholeFile = 4 * 1024 * 1024;
constexpr size_t kMaxStandardFile = 128;
// How far the walk may run ahead of the log: bounds the memory that files
// finished out of order take while one worker is busy with a large file.
constexpr uint64_t kReorderWindow = 4096;
// The scanner's own checks (the test string): a change of them makes every
// cached verdict stale.
constexpr const char* kOwnRules = "1";
// The signature name of the built-in test string check.
constexpr const char* kTestStringName = "Vex.Test.Standardowy-Plik-Testowy";

std::string Join(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

std::string Errno() {
    return std::strerror(errno);
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/')
        return path;
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) ? Join(cwd, path) : path;
}

constexpr unsigned long long kMiB = 1024 * 1024;

bool Under(const std::string& path, const std::string& dir) {
    return path == dir || (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
                           path[dir.size()] == '/');
}

// SHA-256 through the engine library's hashing (hardware-accelerated where the
// processor can).
class CSha256 {
public:
    CSha256() : m_ctx(cl_hash_init("sha256")) {}
    ~CSha256() {
        if (m_ctx)
            cl_hash_destroy(m_ctx);
    }
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;
    bool Add(const char* data, size_t size) {
        return m_ctx && cl_update_hash(m_ctx, data, size) == 0;
    }
    std::string HexDigest() {
        unsigned char digest[32];
        if (!m_ctx || cl_finish_hash(m_ctx, digest) != 0) {
            m_ctx = nullptr; // cl_finish_hash frees the context
            return {};
        }
        m_ctx = nullptr;
        static const char kHex[] = "0123456789abcdef";
        std::string hex;
        for (unsigned char b : digest) {
            hex += kHex[b >> 4];
            hex += kHex[b & 15];
        }
        return hex;
    }

private:
    void* m_ctx;
};

ssize_t ReadAt(int fd, char* buf, size_t size, size_t offset) {
    for (;;) {
        ssize_t n = ::pread(fd, buf, size, static_cast<off_t>(offset));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

// Local file systems whose inode numbers and status-change times stay what
// they were: network, FUSE and layered file systems cannot vouch for that.
bool IsStableFileSystem(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
        return true;
    default:
        return false;
    }
}

} // namespace

// A folder open during the walk; workers open its files relative to it, so a
// folder swapped for a symbolic link meanwhile is never followed.
struct CScanner::Dir {
    int fd;
    std::string path;
    bool bStable = false; // its files may be answered from the verdict cache
    Dir(int f, std::string p) : fd(f), path(std::move(p)) {}
    ~Dir() { ::close(fd); }
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;
};

struct CScanner::Item {
    uint64_t seq = 0;
    std::shared_ptr<Dir> dir;
    std::string name;
};

// What the scan learnt of one entry of the walk.
struct CScanner::Outcome {
    std::string path;
    bool bCounted = false; // a file the job asks for
    bool bError = false;
    bool bInfected = false;
    bool bSuspicious = false; // a heuristic alert: moved aside at most, never deleted
    bool bUnchecked = false;  // no signatures: only the test string was looked for
    bool bGone = false;       // deleted or moved by the infection action
    bool bChanged = false;    // differs from its reference
    bool bSkipped = false;    // not a program file, and the job asks for those only
    bool bNotEntered = false; // a mount point the walk did not enter
    bool bCached = false;     // answered from the verdict cache, not read
    std::string what;         // "ok", the finding or the error
    std::string finding;      // the signature's name, with bInfected or bSuspicious
    std::string action;       // what was done about it, if anything
    std::string digest;       // hex, when the reference check runs

    void AddAction(const std::string& text) { action += (action.empty() ? "" : ", ") + text; }
    std::string Status() const { return action.empty() ? what : what + ", " + action; }
};

struct CScanner::Shared {
    explicit Shared(size_t capacity) : queue(capacity) {}
    CBoundedQueue<Item> queue;
    std::map<uint64_t, Outcome> pending; // finished out of walk order
};

CScanner::CScanner(const CScanCommand& cmd, const CScanPaths& paths, std::string signatureFolder)
    : m_cmd(cmd), m_paths(paths), m_strSignatures(std::move(signatureFolder)),
      m_log(paths.m_strLog, cmd.m_nLogMode) {
    m_report = [](const std::string& message) {
        std::fprintf(stderr, "vexscan: %s\n", EscapeControls(message).c_str());
    };
    m_isStableFileSystem = IsStableFileSystem;
}

CScanner::~CScanner() {
    if (m_nQuarantineFd >= 0)
        ::close(m_nQuarantineFd);
}

void CScanner::RequestStop() {
    m_bUserStop = true;
    Stop();
}

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "set from a signal handler");

// From a signal handler: lock-free stores only. The walk and the workers
// look at the flag often enough without being woken.
void CScanner::Interrupt(int sig) {
    m_nSignal = sig;
    m_bStop = true;
}

void CScanner::LogAfterScan(const std::string& text) {
    m_log.Line(text);
}

CScanTask CScanner::Task() {
    CScanTask task;
    task.m_run = [this](IScanProgress* progress) {
        m_pProgress = progress;
        const CScanResult result = Run();
        m_pProgress = nullptr;
        return result;
    };
    task.m_stop = [this] { RequestStop(); };
    return task;
}

// Safe from any thread and from progress calls, which run under the collect
// lock: it takes no lock, and the walk's wait looks at the flag regularly.
void CScanner::Stop() {
    m_bStop = true;
    m_room.notify_all();
}

bool CScanner::IsForbiddenTree(const std::string& path, int fd) {
    for (const char* dir : {"/proc", "/sys", "/dev"})
        if (Under(path, dir))
            return true;
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    return fs.f_type == PROC_SUPER_MAGIC || fs.f_type == SYSFS_MAGIC ||
           fs.f_type == DEVPTS_SUPER_MAGIC;
}

// The log's header names the databases this scan uses; the result warns of
// stale or missing ones.
void CScanner::NoteSignatures() {
    const std::time_t now = std::time(nullptr);
    const CSignatureInfo info = CSignatureInfo::Read(m_strSignatures);
    m_log.Line("bazy sygnatur: " + (info.IsEmpty() ? std::string("brak") : info.Versions()));
    if (const std::string warning = info.Warning(now); !warning.empty())
        m_log.Line("uwaga: " + warning);
    m_result.m_bSignaturesMissing = info.IsEmpty();
    m_result.m_nStaleSignatureDays = info.IsStale(now) ? info.AgeDays(now) : 0;
}

bool CScanner::LoadEngine() {
    std::string error;
    if (!m_engine.Load(m_strSignatures, error)) {
        m_result.m_bNoSignatures = true;
        m_result.m_strFailure = error;
        m_log.Line("błąd: " + error);
        m_report(error);
        return false;
    }
    m_log.Line("silnik libclamav " + CClamEngine::Version() + ", sygnatur: " +
               std::to_string(m_engine.Signatures()) + " (" + m_strSignatures + ")");
    return true;
}

CScanResult CScanner::Run() {
    std::string error;
    if (!m_log.Open(error)) {
        ++m_result.m_nErrors;
        m_report(error);
    }
    m_log.Header(m_cmd.m_strJobName);
    NoteSignatures();
    m_nStartNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
    LoadAllowList();
    // With the verdict cache the signatures wait until a file needs them.
    OpenVerdictCache();
    const bool engineReady = m_cache.IsOpen() || EnsureEngine();
    // Without signatures nothing is compared: a reference taken now would
    // vouch for files nobody examined.
    m_bCheckReferences = m_cmd.m_bReferenceCheck && engineReady;
    if (m_bCheckReferences) {
        m_bRefsUsable = m_oldRefs.Load(m_paths.m_strReference, m_bHaveRefs, error);
        if (!m_bRefsUsable) {
            ++m_result.m_nErrors;
            m_report(error);
        }
    }
    std::string root;
    int fd = OpenFolderSafely(Absolute(m_cmd.m_strDirectory), ::geteuid(), root, error);
    if (fd >= 0 && IsForbiddenTree(root, fd)) {
        ::close(fd);
        fd = -1;
        error = "folder systemowy " + EscapePath(root) + " nie jest analizowany";
    }
    if (fd < 0) {
        m_result.m_bFatal = true;
        m_result.m_strFailure = error;
        m_log.Line("błąd: " + error);
        m_report(error);
    } else {
        OpenQuarantine();
        ScanTree(fd, root);
        FinishReferences();
    }
    if (m_cache.IsOpen()) {
        if (!m_bEngineTried)
            m_log.Line("sygnatur nie wczytano: żaden plik nie zmienił się od poprzedniej analizy");
        if (!m_cache.Save(error))
            m_log.Line("uwaga: " + error);
    }
    m_result.m_bStopped = m_bStop.load();
    m_result.m_bStoppedByUser = m_bUserStop.load();
    m_result.m_nSignal = m_nSignal.load();
    m_log.Summary(m_result.Text(m_cmd.m_strJobName, m_cmd.m_strDirectory));
    if (!m_log.WriteError().empty()) {
        // The log is incomplete: that is an error of the scan, not a detail.
        ++m_result.m_nErrors;
        m_report(m_log.WriteError());
    }
    return m_result;
}

// The user's allow-list; a damaged one is reported and the scan goes on
// with what it could read.
void CScanner::LoadAllowList() {
    std::string error;
    if (!m_allow.Load(m_paths.m_strAllowList, error)) {
        m_log.Line("uwaga: " + error);
        return;
    }
    if (m_allow.BadLines() != 0)
        m_log.Line("uwaga: lista dozwolonych " + EscapePath(m_paths.m_strAllowList) +
                   ": pominięto uszkodzone wiersze: " + std::to_string(m_allow.BadLines()));
    if (!m_allow.Empty())
        m_log.Line("lista dozwolonych: plików " + std::to_string(m_allow.Size()));
}

// Opens the quarantine before the walk, so that the walk leaves it out even
// when the first move of this scan creates it; it is made now when this
// scan's action may move files there. Copies a killed scan left unfinished
// are removed.
void CScanner::OpenQuarantine() {
    const bool moves = m_cmd.m_nInfectionAction == kInfectDelete ||
                       m_cmd.m_nInfectionAction == kInfectMove ||
                       m_cmd.m_nInfectionAction == kInfectRemoveVirus;
    if (moves && !MakeDirectories(m_paths.m_strQuarantine)) {
        m_strQuarantineError = "nie można utworzyć folderu kwarantanny " +
                               EscapePath(m_paths.m_strQuarantine) + ": " + ErrorText(errno);
        return;
    }
    m_nQuarantineFd =
        ::open(m_paths.m_strQuarantine.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (m_nQuarantineFd < 0 || ::fstat(m_nQuarantineFd, &st) != 0) {
        m_strQuarantineError = "nie można otworzyć folderu kwarantanny " +
                               EscapePath(m_paths.m_strQuarantine) + ": " + ErrorText(errno);
        return;
    }
    m_quarantineDev = st.st_dev;
    m_quarantineIno = st.st_ino;
    CQuarantine::Tidy(m_nQuarantineFd);
}

// Loads the signatures once, for the first file that needs them; true when
// they are there.
bool CScanner::EnsureEngine() {
    if (m_bEngineTried.load(std::memory_order_acquire))
        return m_engine.Loaded();
    std::lock_guard lock(m_engineMutex);
    if (!m_bEngineTried.load()) {
        std::lock_guard collect(m_collectMutex); // its log line and counts
        LoadEngine();
        m_bEngineTried.store(true, std::memory_order_release);
    }
    return m_engine.Loaded();
}

// The context of this scan's verdicts: the signatures as they are now and
// the options that change what a scan finds. Entries of any other context
// are not seen.
void CScanner::OpenVerdictCache() {
    if (!m_bUseVerdictCache)
        return;
    const std::string signatures = CClamEngine::Fingerprint(m_strSignatures);
    if (signatures.empty())
        return; // nothing is clean without signatures
    const std::string context = signatures + "\nheuristics " + std::to_string(m_cmd.m_bHeuristic) +
                                "\nselection " + std::to_string(m_cmd.m_nFileSelection) +
                                "\nrules " + kOwnRules;
    CSha256 sha;
    sha.Add(context.data(), context.size());
    std::string note;
    const std::string& path = m_paths.m_strVerdicts;
    if (MakeDirectories(path.substr(0, path.rfind('/'))))
        m_cache.Open(path, sha.HexDigest(), note);
    if (!note.empty())
        m_log.Line("uwaga: " + note);
}

bool CScanner::IsTrustedTime(const struct stat& st) const {
    const std::int64_t changed = CFileIdentity::Of(st).ctimeNs;
    return changed <= m_nStartNs - m_sameTick.count();
}

// Answers a file from the verdict cache without opening it: its device,
// inode, size and both times are what they were when it was found clean.
bool CScanner::AnswerFromCache(const Dir& dir, const std::string& name, const struct stat& st) {
    std::string digest;
    if (!m_cache.IsOpen() || m_bFullScan || !dir.bStable || !IsTrustedTime(st) ||
        !m_cache.Lookup(CFileIdentity::Of(st), digest) || (m_bCheckReferences && digest.empty()))
        return false;
    Outcome out;
    out.path = Join(dir.path, name);
    out.bCounted = true;
    out.bCached = true;
    out.what = "ok (bez zmian)";
    out.digest = digest;
    Deliver(m_nWalkSeq++, std::move(out));
    return true;
}

// Keeps a file that was read whole and found clean, unless it changed while
// it was read or changed too recently to tell.
void CScanner::RememberClean(const Dir& dir, int fd, const struct stat& before,
                             const Outcome& out) {
    struct stat after {};
    if (!m_cache.IsOpen() || !dir.bStable || out.what != "ok" || !IsTrustedTime(before) ||
        ::fstat(fd, &after) != 0 || !(CFileIdentity::Of(after) == CFileIdentity::Of(before)))
        return;
    m_cache.Add(CFileIdentity::Of(before), out.digest);
}

void CScanner::ScanTree(int rootFd, const std::string& root) {
    unsigned threads = m_nThreads ? m_nThreads : UsableProcessors();
    threads = std::max(1u, threads);
    m_pShared = std::make_unique<Shared>(threads * 16);
    m_nWorkerCount = threads;
    m_mounts.Start(rootFd);
    auto rootDir = std::make_shared<Dir>(rootFd, root);
    rootDir->bStable = m_isStableFileSystem(rootFd);
    WalkDirectory(rootDir, 0);
    m_pShared->queue.Close();
    WalkProgress(true);
    for (std::thread& t : m_workers)
        t.join();
    m_workers.clear();
    // After a stop, files that were not reached leave gaps; the rest is
    // written in walk order all the same.
    std::lock_guard lock(m_collectMutex);
    for (auto& [seq, out] : m_pShared->pending)
        Emit(out);
    m_pShared->pending.clear();
    m_pShared.reset();
}

// The workers start with the first file that has to be read, after the
// signatures are loaded: a load while other threads run pays for a lock in
// every character it reads, and a tree the verdict cache answers whole
// needs neither.
void CScanner::StartWorkers() {
    EnsureEngine();
    for (unsigned i = 0; i < m_nWorkerCount; ++i)
        m_workers.emplace_back([this] { Worker(); });
}

void CScanner::WalkProgress(bool done) {
    if (m_pProgress)
        m_pProgress->OnWalk(static_cast<size_t>(m_nWalkSeq), done);
}

void CScanner::WalkDirectory(const std::shared_ptr<Dir>& dir, int depth) {
    int listFd = ::dup(dir->fd);
    DIR* listing = listFd < 0 ? nullptr : ::fdopendir(listFd);
    if (!listing) {
        std::string reason = Errno();
        if (listFd >= 0)
            ::close(listFd);
        DeliverError(dir->path, "nie można odczytać folderu: " + reason);
        return;
    }
    ::rewinddir(listing);
    std::vector<std::string> names;
    while (dirent* d = ::readdir(listing)) {
        if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
            names.emplace_back(d->d_name);
    }
    ::closedir(listing);
    std::sort(names.begin(), names.end());

    for (const std::string& name : names) {
        if (m_bStop)
            return;
        struct stat st {};
        std::string child = Join(dir->path, name);
        // Without setting off an automount: the mount guard decides first.
        if (::fstatat(dir->fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) {
            // Gone since the listing: the same error as a file that goes
            // before a worker opens it.
            DeliverError(child, "plik zniknął w trakcie analizy");
            continue;
        }
        if (S_ISREG(st.st_mode)) {
            {
                std::unique_lock lock(m_collectMutex);
                while (!m_bStop && m_nWalkSeq >= m_nNextSeq + kReorderWindow)
                    m_room.wait_for(lock, std::chrono::milliseconds(50));
            }
            if (AnswerFromCache(*dir, name, st)) {
                if ((m_nWalkSeq & 63) == 0)
                    WalkProgress(false);
                continue;
            }
            if (m_workers.empty())
                StartWorkers();
            if (!m_pShared->queue.Push(Item{m_nWalkSeq++, dir, name}))
                return;
            if ((m_nWalkSeq & 63) == 0)
                WalkProgress(false);
        } else if (S_ISDIR(st.st_mode) && m_cmd.m_bSubdirectories) {
            if (m_nQuarantineFd >= 0 && st.st_dev == m_quarantineDev &&
                st.st_ino == m_quarantineIno)
                continue; // what we moved aside is not found again
            if (const std::string why = m_mounts.Check(dir->fd, st); !why.empty()) {
                DeliverNotEntered(child, why);
                continue;
            }
            if (depth + 1 >= kMaxDepth) {
                DeliverError(child, "foldery zagnieżdżone zbyt głęboko");
                continue;
            }
            int sub =
                ::openat(dir->fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                DeliverError(child, "nie można otworzyć folderu: " + Errno());
                continue;
            }
            auto subDir = std::make_shared<Dir>(sub, child);
            subDir->bStable = m_isStableFileSystem(sub);
            if (!IsForbiddenTree(child, sub))
                WalkDirectory(subDir, depth + 1);
        }
        // Symbolic links, devices, pipes and sockets are never opened.
    }
}

void CScanner::DeliverError(const std::string& path, const std::string& message) {
    Outcome out;
    out.path = path;
    out.bError = true;
    out.what = "błąd: " + message;
    Deliver(m_nWalkSeq++, std::move(out));
}

// A folder the walk does not enter: said in the log and counted.
void CScanner::DeliverNotEntered(const std::string& path, const std::string& why) {
    Outcome out;
    out.path = path;
    out.bNotEntered = true;
    out.what = "pominięto: " + why;
    Deliver(m_nWalkSeq++, std::move(out));
}

void CScanner::Worker() {
    Item item;
    // Allocated once and never cleared: only the pages that files have
    // filled take memory.
    const std::unique_ptr<char[]> buffer(new char[kWholeFile + 1]);
    while (m_pShared->queue.Pop(item)) {
        if (m_bStop)
            continue; // drain: files not reached stay out of the log
        Outcome out;
        if (Examine(item, out, buffer.get()))
            Deliver(item.seq, std::move(out));
    }
}

// Reads the file from offset on into buffer at the same offset, until the
// end of the file or until size bytes are there; returns the bytes there in
// all, or -1 (errno set).
ssize_t CScanner::ReadInto(int fd, char* buffer, size_t size, size_t offset) {
    size_t got = offset;
    while (got < size) {
        const ssize_t n = ReadAt(fd, buffer + got, size - got, got);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Examines one file; false when a stop came first and the file was not
// examined whole (it is then left out, as if not reached).
bool CScanner::Examine(const Item& item, Outcome& out, char* buffer) {
    out.path = Join(item.dir->path, item.name);
    int fd = ::openat(item.dir->fd, item.name.c_str(),
                      O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        out.bError = true;
        out.what = errno == ENOENT ? "błąd: plik zniknął w trakcie analizy"
                                   : "błąd: nie można otworzyć: " + Errno();
        return true;
    }
    FdGuard guard(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return true; // replaced by something else since the listing: not a file
    // The first chunk tells whether the job wants the file. A small file is
    // then read to its end into the same buffer, once: the test string, the
    // reference digest and the engine all work on that copy.
    auto readError = [&out] {
        out.bError = true;
        out.what = "błąd: nie można odczytać: " + Errno();
        return true;
    };
    size_t size = kChunk;
    ssize_t n = ReadInto(fd, buffer, size, 0);
    if (n < 0)
        return readError();
    out.bSkipped = m_cmd.m_nFileSelection != 0 &&
                   !IsProgramFile(st.st_mode, item.name, {buffer, static_cast<size_t>(n)});
    if (out.bSkipped)
        return true;
    out.bCounted = true;
    const bool engineReady = EnsureEngine();
    if (IsOverEngineLimit(st, out))
        return true;
    if (static_cast<size_t>(n) == size && static_cast<uint64_t>(st.st_size) <= kWholeFile) {
        size = kWholeFile + 1; // one byte more tells a file that has grown
        n = ReadInto(fd, buffer, size, kChunk);
        if (n < 0)
            return readError();
    }
    const std::string_view data(buffer, static_cast<size_t>(n));
    // Read to its end without filling the buffer: the whole file is in data.
    const bool complete = data.size() < size;
    if (!ReadAndCheck(fd, data, complete, out))
        return false;
    if (engineReady && !out.bError) {
        CVerdict verdict = m_engine.Scan(fd, complete ? data : std::string_view(), out.path,
                                         m_cmd.m_bHeuristic, m_bStop);
        if (verdict.m_eKind == CVerdict::kStopped && !out.bInfected)
            return false;
        if (!out.bInfected)
            TakeVerdict(verdict, out);
    } else if (!out.bInfected && !out.bError) {
        out.bUnchecked = true;
        out.what = "nie sprawdzono: brak sygnatur";
    }
    if ((out.bInfected || out.bSuspicious) && IsAllowed(fd, st, out))
        return true;
    if (out.bInfected || out.bSuspicious)
        ActOnFinding(item, fd, out);
    else
        RememberClean(*item.dir, fd, st, out);
    return true;
}

// A finding in a file the user allowed is no finding: logged as such, never
// acted on, and never kept in the verdict cache, so that taking it off the
// list brings the finding back.
bool CScanner::IsAllowed(int fd, const struct stat& st, Outcome& out) const {
    if (m_allow.Empty())
        return false;
    const std::string digest = out.digest.empty() ? FileSha256(fd) : out.digest;
    if (!m_allow.Contains(digest, static_cast<std::uint64_t>(st.st_size)))
        return false;
    out.what = "ok (na liście dozwolonych: " + out.finding + ")";
    out.bInfected = out.bSuspicious = false;
    out.finding.clear();
    return true;
}

void CScanner::TakeVerdict(const CVerdict& verdict, Outcome& out) {
    switch (verdict.m_eKind) {
    case CVerdict::kInfected:
        out.bInfected = true;
        out.finding = verdict.m_strText;
        out.what = "zainfekowany (" + verdict.m_strText + ")";
        break;
    case CVerdict::kSuspicious:
        out.bSuspicious = true;
        out.finding = verdict.m_strText;
        out.what = "podejrzany (" + verdict.m_strText + ")";
        break;
    case CVerdict::kError:
        out.bError = true;
        out.what = "błąd: " + verdict.m_strText;
        break;
    default:
        out.what = "ok";
    }
}

// A file the engine would skip for its size is not read at all: it is an
// error of the scan, never clean and never a finding.
bool CScanner::IsOverEngineLimit(const struct stat& st, Outcome& out) const {
    const unsigned long long limit = m_engine.Loaded() ? m_engine.MaxFileSize() : 0;
    if (limit == 0 || static_cast<unsigned long long>(st.st_size) <= limit)
        return false;
    out.bError = true;
    out.what = "błąd: nie sprawdzono: plik większy niż limit silnika (" +
               std::to_string((limit + kMiB - 1) / kMiB) + " MiB)";
    return true;
}

// Applies the built-in test string check and takes the reference digest.
// data is the file's start, or all of it when complete; the rest of the file
// is read only for the digest, and the test string is looked for in what is
// read anyway. false when a stop came first.
bool CScanner::ReadAndCheck(int fd, std::string_view data, bool complete, Outcome& out) {
    CTestStringFinder finder;
    CSha256 sha;
    const bool needHash = m_bCheckReferences;
    // Heuristics look for the test string anywhere; without them only the
    // standard test file counts, and the file's start tells that.
    if (m_cmd.m_bHeuristic)
        finder.Feed(data.data(), data.size());
    if (needHash)
        sha.Add(data.data(), data.size());
    std::string buf;
    size_t offset = data.size();
    while (!complete && needHash) {
        if (m_bStop)
            return false;
        buf.resize(kChunk);
        const ssize_t n = ReadAt(fd, buf.data(), buf.size(), offset);
        if (n < 0) {
            out.bError = true;
            out.what = "błąd: nie można odczytać: " + Errno();
            return true;
        }
        if (n == 0)
            break;
        if (m_cmd.m_bHeuristic)
            finder.Feed(buf.data(), static_cast<size_t>(n));
        sha.Add(buf.data(), static_cast<size_t>(n));
        offset += static_cast<size_t>(n);
    }
    if (needHash)
        out.digest = sha.HexDigest();
    bool found = m_cmd.m_bHeuristic
                     ? finder.Found()
                     : complete && data.size() <= kMaxStandardFile && IsStandardTestFile(data);
    if (found) {
        out.bInfected = true;
        out.finding = kTestStringName;
        out.what = std::string("zainfekowany (") + kTestStringName + ")";
    }
    return true;
}

void CScanner::ActOnFinding(const Item& item, int fd, Outcome& out) {
    std::lock_guard lock(m_actionMutex);
    // An alert without a signature's name is no finding to act on.
    if (out.finding.empty())
        return;
    const int action = m_cmd.m_nInfectionAction;
    if (action == kInfectLog)
        return;
    if (action == kInfectStop) {
        out.AddAction("analiza zatrzymana");
        Stop();
        return;
    }
    // Deleting or moving takes away one name of the file; other hard links
    // would keep the infected content where the log says it is gone.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_nlink > 1) {
        out.bError = true;
        out.AddAction("nie usunięto: plik ma jeszcze " + std::to_string(st.st_nlink - 1) +
                      " inne dowiązania twarde z tą samą zawartością");
        return;
    }
    // A heuristic alert is no proof: such a file is moved aside, never deleted.
    std::string error;
    if (action == kInfectDelete && out.bInfected)
        return Report(RemoveScannedFile(item.dir->fd, item.name, fd, error), "plik usunięty", error,
                      out);
    if (m_nQuarantineFd < 0) {
        out.bError = true;
        out.AddAction(m_strQuarantineError);
        return;
    }
    CQuarantineRecord record;
    record.m_strPath = out.path;
    record.m_strFinding = out.finding;
    record.m_strJob = m_cmd.m_strJobName;
    std::string dest;
    const EFileAction moved = QuarantineScannedFile(item.dir->fd, item.name, fd, m_nQuarantineFd,
                                                    std::move(record), dest, error);
    const std::string where = EscapePath(m_paths.m_strQuarantine + "/" + dest);
    Report(moved,
           (action == kInfectRemoveVirus && out.bInfected
                ? "nie można wyleczyć, plik przeniesiony do kwarantanny: "
                : "przeniesiony do ") +
               where,
           error, out);
}

// Logs what an action did: its own text when it was done, and why not
// otherwise, which makes the file an error of the scan.
void CScanner::Report(EFileAction result, const std::string& done, const std::string& error,
                      Outcome& out) {
    const bool ok = result == EFileAction::kDone;
    out.AddAction(ok ? done : error);
    out.bGone = ok;
    out.bError = out.bError || !ok;
}

void CScanner::Deliver(uint64_t seq, Outcome out) {
    std::lock_guard lock(m_collectMutex);
    auto& pending = m_pShared->pending;
    pending.emplace(seq, std::move(out));
    while (!pending.empty() && pending.begin()->first == m_nNextSeq) {
        Emit(pending.begin()->second);
        pending.erase(pending.begin());
        ++m_nNextSeq;
    }
    m_room.notify_all();
}

// Counts, compares and logs one outcome; called in walk order, under the
// collect lock.
void CScanner::Emit(Outcome& out) {
    // After a stop only what was acted on still counts; the rest is treated
    // as not reached, so it keeps its reference for the next scan.
    if (m_bStop && !out.bInfected && !out.bSuspicious)
        return;
    ++m_nFilesDone;
    if (m_onFileDone)
        m_onFileDone(m_nFilesDone);
    if (out.bNotEntered) {
        ++m_result.m_nSkippedMounts;
        m_log.File(out.path, out.what, true);
    }
    if (!out.bCounted && !out.bError) {
        if (out.bSkipped) {
            ++m_result.m_nSkipped;
            m_log.File(out.path, kNotProgramFile, false);
        }
        if (m_pProgress)
            m_pProgress->OnFile(out.path, m_nFilesDone, m_result);
        return;
    }
    if (out.bCounted)
        ++m_result.m_nFiles;
    if (out.bCached)
        ++m_result.m_nUnchanged;
    if (out.bUnchecked)
        ++m_result.m_nUnchecked;
    if (out.bInfected)
        ++m_result.m_nInfected;
    if (out.bSuspicious)
        ++m_result.m_nSuspicious;
    if (out.bError) {
        ++m_result.m_nErrors;
        m_report(EscapePath(out.path) + ": " + out.Status());
        // A file that could not be examined keeps the reference it had.
        if (const std::string* old = m_bRefsUsable ? m_oldRefs.Find(out.path) : nullptr)
            m_newRefs.Set(out.path, *old);
    } else if (m_bCheckReferences && !out.bGone && !out.bUnchecked && !out.digest.empty()) {
        CheckReference(out);
    }
    const bool finding = out.bInfected || out.bSuspicious || out.bError || out.bChanged;
    m_log.File(out.path, out.Status(), finding);
    if (m_pProgress) {
        if (finding)
            m_pProgress->OnFinding(CScanFinding{out.path, out.what, out.action});
        m_pProgress->OnFile(out.path, m_nFilesDone, m_result);
    }
}

void CScanner::CheckReference(Outcome& out) {
    const std::string* old = m_bRefsUsable ? m_oldRefs.Find(out.path) : nullptr;
    if (!old || *old == out.digest) {
        m_newRefs.Set(out.path, out.digest);
        return;
    }
    ++m_result.m_nChanged;
    out.bChanged = true;
    if (out.bInfected || out.bSuspicious)
        out.AddAction("zmieniony");
    else
        out.what = "zmieniony";
    switch (m_cmd.m_nReferenceDiffAction) {
    case kDiffAccept:
        m_newRefs.Set(out.path, out.digest);
        out.AddAction("zaakceptowano");
        break;
    case kDiffStop:
        m_newRefs.Set(out.path, *old);
        out.AddAction("analiza zatrzymana");
        Stop();
        break;
    default:
        m_newRefs.Set(out.path, *old);
    }
}

void CScanner::FinishReferences() {
    // Signatures that failed to load when first needed vouch for nothing.
    if (!m_bCheckReferences || m_result.m_bNoSignatures)
        return;
    // A damaged list is replaced only when differences are to be accepted.
    if (!m_bRefsUsable && m_cmd.m_nReferenceDiffAction != kDiffAccept)
        return;
    // After an early stop the files not reached keep their references; after
    // a full scan, references of files that are gone are dropped.
    if (m_bStop) {
        for (const auto& [path, digest] : m_oldRefs.Entries())
            if (!m_newRefs.Find(path))
                m_newRefs.Set(path, digest);
    }
    if (m_bHaveRefs && m_bRefsUsable && m_newRefs == m_oldRefs)
        return;
    std::string error;
    std::string dir = m_paths.m_strReference.substr(0, m_paths.m_strReference.rfind('/'));
    if (!MakeDirectories(dir) || !m_newRefs.Save(m_paths.m_strReference, error)) {
        ++m_result.m_nErrors;
        m_report(error.empty() ? "nie można utworzyć folderu " + dir : error);
    }
}
