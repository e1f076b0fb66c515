#include "Scanner.h"

#include "FileOps.h"
#include "ProgramFile.h"
#include "ScanQueue.h"
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
// The signature name of the built-in test string check.
constexpr const char* kTestStringName = "Vex.Test.Standardowy-Plik-Testowy";

std::string Join(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

std::string Errno() {
    return std::strerror(errno);
}

// Closes a descriptor when it goes out of scope.
struct FdGuard {
    int fd;
    explicit FdGuard(int f) : fd(f) {}
    ~FdGuard() {
        if (fd >= 0)
            ::close(fd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
};

std::string Canonical(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

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

} // namespace

// A folder open during the walk; workers open its files relative to it, so a
// folder swapped for a symbolic link meanwhile is never followed.
struct CScanner::Dir {
    int fd;
    std::string path;
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
    bool bUnchecked = false; // no signatures: only the test string was looked for
    bool bGone = false;      // deleted or moved by the infection action
    bool bChanged = false;   // differs from its reference
    bool bSkipped = false;   // not a program file, and the job asks for those only
    std::string what;        // "ok", the finding or the error
    std::string action;      // what was done about it, if anything
    std::string digest;      // hex, when the reference check runs

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
        std::fprintf(stderr, "vexscan: %s\n", message.c_str());
    };
}

CScanner::~CScanner() = default;

void CScanner::RequestStop() {
    m_bUserStop = true;
    Stop();
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

bool CScanner::LoadEngine() {
    std::string error;
    if (!m_engine.Load(m_strSignatures, error)) {
        m_result.m_bNoSignatures = true;
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
    const bool engineReady = LoadEngine();
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
    std::string root = Canonical(m_cmd.m_strDirectory);
    int fd = root.empty() ? -1 : ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        m_result.m_bFatal = true;
        error = "nie można otworzyć folderu " + m_cmd.m_strDirectory + ": " + Errno();
        m_log.Line("błąd: " + error);
        m_report(error);
    } else if (IsForbiddenTree(root, fd)) {
        ::close(fd);
        m_result.m_bFatal = true;
        error = "folder systemowy " + root + " nie jest analizowany";
        m_log.Line("błąd: " + error);
        m_report(error);
    } else {
        m_strQuarantine = Canonical(m_paths.m_strQuarantine);
        ScanTree(fd, root);
        FinishReferences();
    }
    m_result.m_bStopped = m_bStop.load();
    m_result.m_bStoppedByUser = m_bUserStop.load();
    m_log.Summary(m_result.Text(m_cmd.m_strJobName, m_cmd.m_strDirectory));
    if (!m_log.WriteError().empty()) {
        // The log is incomplete: that is an error of the scan, not a detail.
        ++m_result.m_nErrors;
        m_report(m_log.WriteError());
    }
    return m_result;
}

void CScanner::ScanTree(int rootFd, const std::string& root) {
    unsigned threads = m_nThreads ? m_nThreads : std::thread::hardware_concurrency();
    threads = std::max(1u, threads);
    m_pShared = std::make_unique<Shared>(threads * 16);
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < threads; ++i)
        workers.emplace_back([this] { Worker(); });
    WalkDirectory(std::make_shared<Dir>(rootFd, root), 0);
    m_pShared->queue.Close();
    WalkProgress(true);
    for (std::thread& t : workers)
        t.join();
    // After a stop, files that were not reached leave gaps; the rest is
    // written in walk order all the same.
    std::lock_guard lock(m_collectMutex);
    for (auto& [seq, out] : m_pShared->pending)
        Emit(out);
    m_pShared->pending.clear();
    m_pShared.reset();
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
        if (::fstatat(dir->fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
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
            if (!m_pShared->queue.Push(Item{m_nWalkSeq++, dir, name}))
                return;
            if ((m_nWalkSeq & 63) == 0)
                WalkProgress(false);
        } else if (S_ISDIR(st.st_mode) && m_cmd.m_bSubdirectories) {
            if (!m_strQuarantine.empty() && Under(child, m_strQuarantine))
                continue; // what we moved aside is not found again
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
    if (m_engine.Loaded() && !out.bError) {
        CVerdict verdict = m_engine.Scan(fd, complete ? data : std::string_view(), out.path,
                                         m_cmd.m_bHeuristic, m_bStop);
        if (verdict.m_eKind == CVerdict::kStopped && !out.bInfected)
            return false;
        if (verdict.m_eKind == CVerdict::kInfected) {
            out.bInfected = true;
            out.what = "zainfekowany (" + verdict.m_strText + ")";
        } else if (verdict.m_eKind == CVerdict::kError && !out.bInfected) {
            out.bError = true;
            out.what = "błąd: " + verdict.m_strText;
        } else if (!out.bInfected) {
            out.what = "ok";
        }
    } else if (!out.bInfected && !out.bError) {
        out.bUnchecked = true;
        out.what = "nie sprawdzono: brak sygnatur";
    }
    if (out.bInfected)
        ActOnInfection(item, fd, out);
    return true;
}

// Applies the built-in test string check and takes the reference digest, on
// data (the file's start, or all of it when complete) and, where they need
// more, on the rest of the file read in chunks; false when a stop came first.
bool CScanner::ReadAndCheck(int fd, std::string_view data, bool complete, Outcome& out) {
    CTestStringFinder finder;
    CSha256 sha;
    const bool needHash = m_bCheckReferences;
    // Heuristics look for the test string anywhere in the file; without them
    // only the standard test file counts, and the file's start tells that.
    if (m_cmd.m_bHeuristic)
        finder.Feed(data.data(), data.size());
    if (needHash)
        sha.Add(data.data(), data.size());
    std::string buf;
    size_t offset = data.size();
    while (!complete && (needHash || (m_cmd.m_bHeuristic && !finder.Found()))) {
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
        if (needHash)
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
        out.what = std::string("zainfekowany (") + kTestStringName + ")";
    }
    return true;
}

void CScanner::ActOnInfection(const Item& item, int fd, Outcome& out) {
    std::lock_guard lock(m_actionMutex);
    const int dirfd = item.dir->fd;
    auto failed = [&](const std::string& message) {
        out.bError = true;
        out.AddAction(message);
    };
    // Deleting or moving takes away one name of the file; other hard links
    // would keep the infected content where the log says it is gone.
    struct stat st {};
    const bool removes = m_cmd.m_nInfectionAction == kInfectDelete ||
                         m_cmd.m_nInfectionAction == kInfectMove ||
                         m_cmd.m_nInfectionAction == kInfectRemoveVirus;
    if (removes && ::fstat(fd, &st) == 0 && st.st_nlink > 1) {
        failed("nie usunięto: plik ma jeszcze " + std::to_string(st.st_nlink - 1) +
               " inne dowiązania twarde z tą samą zawartością");
        return;
    }
    std::string error;
    switch (m_cmd.m_nInfectionAction) {
    case kInfectStop:
        out.AddAction("analiza zatrzymana");
        Stop();
        return;
    case kInfectDelete:
        if (::unlinkat(dirfd, item.name.c_str(), 0) != 0) {
            failed("nie można usunąć: " + Errno());
            return;
        }
        out.AddAction("plik usunięty");
        out.bGone = true;
        return;
    case kInfectRemoveVirus:
    case kInfectMove: {
        const bool cannotClean = m_cmd.m_nInfectionAction == kInfectRemoveVirus;
        if (!MakeDirectories(m_paths.m_strQuarantine)) {
            failed("nie można utworzyć folderu kwarantanny: " + Errno());
            return;
        }
        std::string dest;
        if (!MoveToQuarantine(dirfd, item.name, fd, m_paths.m_strQuarantine, dest, error)) {
            failed(error);
            return;
        }
        out.AddAction((cannotClean ? "nie można wyleczyć, plik przeniesiony do kwarantanny: "
                                   : "przeniesiony do ") +
                      EscapePath(dest));
        out.bGone = true;
        return;
    }
    default:
        return;
    }
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
    if (m_bStop && !out.bInfected)
        return;
    ++m_nFilesDone;
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
    if (out.bInfected)
        ++m_result.m_nInfected;
    if (out.bError) {
        ++m_result.m_nErrors;
        m_report(out.path + ": " + out.Status());
        // A file that could not be examined keeps the reference it had.
        if (const std::string* old = m_bRefsUsable ? m_oldRefs.Find(out.path) : nullptr)
            m_newRefs.Set(out.path, *old);
    } else if (m_bCheckReferences && !out.bGone && !out.digest.empty()) {
        CheckReference(out);
    }
    const bool finding = out.bInfected || out.bError || out.bChanged;
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
    if (out.bInfected)
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
    if (!m_bCheckReferences)
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
