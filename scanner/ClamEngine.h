#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

struct cl_engine;

// What the engine says about one file.
struct CVerdict {
    // kSuspicious: a heuristic alert ("Heuristics.*"), which is no proof of
    // a virus and is never deleted.
    enum EKind { kClean, kInfected, kSuspicious, kError, kStopped };
    EKind m_eKind = kClean;
    std::string m_strText; // the signature name, or the reason of an error
};

// One compiled signature engine for one scan. Loading reads every database
// in a folder; afterwards Scan may be called from several threads at once.
class CClamEngine {
public:
    CClamEngine();
    ~CClamEngine();
    CClamEngine(const CClamEngine&) = delete;
    CClamEngine& operator=(const CClamEngine&) = delete;

    // Loads and compiles every database in folder. False with a reason (in
    // Polish, for the log) when the folder is missing, holds no signatures or
    // cannot be loaded; the engine then stays unusable.
    bool Load(const std::string& folder, std::string& error);
    bool Loaded() const { return m_bCompiled; }
    unsigned Signatures() const { return m_nSignatures; }
    // The largest file the engine examines; larger ones it would only skip.
    unsigned long long MaxFileSize() const;
    static std::string Version();
    // What the signatures in folder are, without loading them: the engine's
    // version and each database file's name, size, modification time and
    // (for signed databases) version. Empty when the folder holds nothing.
    static std::string Fingerprint(const std::string& folder);

    // Scans the open file fd (path only names it in messages); when the
    // file's whole content has been read, content holds it and the engine
    // scans that instead of reading the file again. With heuristics off only
    // signatures match; with them on, the heuristics the engine's own command
    // line scanner uses by default. Files over a size or depth limit,
    // encrypted archives and documents, alerts without a signature name and
    // files the engine fails on are errors, never clean and never infected.
    // A set stop flag ends a running scan early (kStopped).
    CVerdict Scan(int fd, std::string_view content, const std::string& path, bool heuristic,
                  const std::atomic<bool>& stop) const;

private:
    cl_engine* m_pEngine = nullptr;
    unsigned m_nSignatures = 0;
    bool m_bCompiled = false;
};
