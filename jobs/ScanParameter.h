#pragma once

#include "SystemTime.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The options with which the scanner is started for one job. Every job embeds
// one; its stored form is part of the job's stored form, which the scan server
// reads as well.
//
// Stored form (little-endian, packed): the directory as u32 N (length + 1),
// the text and a zero byte; then m_bHeuristic (1 byte), m_nLogMode,
// m_nReferenceCheck, m_nReferenceDiffAction, m_nInfectionAction,
// m_nWindowMode, m_nEndMode (u32 each), m_bSubdirectories (1 byte),
// m_nFileSelection (u32). Directory length + 35 bytes in all.
//
// The numeric fields are the option indexes of the scan options dialog; they
// are kept and stored as they are, without range checks.
// A scanner that a caller of CScanParameter::Launch took over.
struct CLaunchedScanner {
    int pid = -1;
    std::string strCommandFile;
    std::string strJobName;
    std::int64_t nStarted = 0; // when it was started, seconds since 1970 UTC
};

// What a started scanner did with its command file. The scanner removes the
// file once it has read and accepted it, and leaves one it refuses.
enum class ECommandTake { Taken, Refused, Pending };

// Waits at most nTimeoutMs for the scanner to take its command file. One
// that ended and left its file refused it: the file is removed and the
// process reaped (launched.pid becomes -1). Otherwise the process is left to
// its owner to reap.
ECommandTake AwaitCommandTake(CLaunchedScanner& launched, int nTimeoutMs);

// Reaps the scanner on a thread of its own, then removes its command file if
// it is still there, which nobody else would ever remove.
void ReapInBackground(const CLaunchedScanner& launched);

class CScanParameter {
public:
    // The folder a new job scans: the root of the file system.
    static constexpr const char* kDefaultDirectory = "/";

    CScanParameter();
    virtual ~CScanParameter() = default;
    CScanParameter(const CScanParameter&) = default;
    CScanParameter& operator=(const CScanParameter&) = default;

    // Bytes that Store writes.
    virtual int GetStoreSize() const;
    // Writes the stored form at pBuf (GetStoreSize() bytes) and returns that count.
    virtual int Store(BYTE* pBuf) const;
    // Reads a stored form from the nAvail bytes at pBuf and returns the bytes
    // consumed. Returns 0 and leaves every field as it was when the form does
    // not fit in nAvail bytes. Bytes after the form are not looked at.
    virtual int Load(const BYTE* pBuf, size_t nAvail);

    // Never null; empty when no directory is set.
    const char* GetDirectory() const { return m_strDirectory.c_str(); }

    // Writes the scanner's command file and starts pszScanner with it; true
    // when the scanner runs (ScanParameterLaunch.cpp). While a scan of the
    // job still runs no second one starts: false, with *pbRunning (optional)
    // set. The started scanner holds the job's scan lock (ScanLock.h).
    // With pKeep the caller takes the started scanner over: it must reap the
    // process pKeep->pid, and learns the command file the scanner should
    // consume.
    // bFullScan asks the scanner to read every file, also those its verdict
    // cache knows as unchanged.
    bool Launch(const char* pszScanner, const char* pszJobName, bool* pbRunning = nullptr,
                struct CLaunchedScanner* pKeep = nullptr, bool bFullScan = false) const;

    // Whether the scanner can carry the options out: every number within its
    // choices, and a folder that is an absolute path of at most 4095 bytes
    // without line breaks (JobCheck.cpp).
    bool CheckOptions() const;
    bool CheckDirectory() const;

    bool operator==(const CScanParameter& other) const = default;

    bool m_bHeuristic;            // heuristic search
    DWORD m_nLogMode;             // 0 none, 1 combined, 2 detailed
    DWORD m_nReferenceCheck;      // 0 none, 1 perform
    DWORD m_nReferenceDiffAction; // 0 log only, 1 stop, 2 accept
    DWORD m_nInfectionAction;     // 0 log, 1 stop, 2 remove virus, 3 delete, 4 move
    DWORD m_nWindowMode;          // 0 in front, 1 in the background
    DWORD m_nEndMode;             // 0 don't stop, 1 stop on infection, 2 always exit
    bool m_bSubdirectories;       // include subdirectories
    std::string m_strDirectory;   // folder to scan, UTF-8
    DWORD m_nFileSelection;       // 0 all files, 1 program files only
};
