#include "JobResult.h"

#include "ByteReader.h"
#include "LineText.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "StringTable.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr BYTE kVersion = 1;
constexpr size_t kStoreSize = 48;
constexpr BYTE kFlagNotStarted = 0x01;
constexpr BYTE kFlagStopped = 0x02;
constexpr BYTE kFlagFailed = 0x04;
constexpr BYTE kKnownFlags = kFlagNotStarted | kFlagStopped | kFlagFailed;

// Texts of the result column (string table).
enum : unsigned {
    kTextClean = 281,
    kTextInfected = 282, // "%llu": the count
    kTextChanged = 283,  // "%llu": the count
    kTextError = 284,
    kTextStopped = 285,
    kTextNotStarted = 286,
    // 302..306: skipped (still running), refused, busy, cancelled, bad
    // folder, in the order of ENotStarted.
    kTextSkipped = 302,
    kTextFilesSkipped = 312, // "%llu": files a scan of program files left out
    kTextSuspicious = 313,   // "%llu": files with a heuristic alert only
    kTextInterrupted = 314,  // "%llu": the signal that ended the scan
    kTextNotStored = 318,
    kTextStaleSignatures = 353, // "%llu": days
    kTextNoSignatures = 354,
    kTextUnchecked = 372, // "%llu": files not checked for want of signatures
};

// No job's stored form is larger; a bigger value is not a result.
constexpr DWORD kMaxResultSize = 4096;

void PutU64(BYTE*& p, std::uint64_t v) {
    PutU32(p, static_cast<DWORD>(v));
    PutU32(p, static_cast<DWORD>(v >> 32));
}

bool ReadU64(CByteReader& in, std::uint64_t& v) {
    DWORD lo = 0;
    DWORD hi = 0;
    if (!in.ReadU32(lo) || !in.ReadU32(hi))
        return false;
    v = static_cast<std::uint64_t>(hi) << 32 | lo;
    return true;
}

std::string WithCount(unsigned nFormatId, std::uint64_t n) {
    char text[64];
    std::snprintf(text, sizeof text, LoadResString(nFormatId), static_cast<unsigned long long>(n));
    return text;
}

// An open key that closes itself.
class CResultKey {
public:
    explicit CResultKey(bool bCreate, LONG* pnResult = nullptr) {
        const LONG result = bCreate ? RegCreateKeyEx(HKEY_LOCAL_MACHINE, kResultKeyPath, &m_key)
                                    : RegOpenKeyEx(HKEY_LOCAL_MACHINE, kResultKeyPath, &m_key);
        if (result != ERROR_SUCCESS)
            m_key = nullptr;
        if (pnResult)
            *pnResult = result;
    }
    ~CResultKey() {
        if (m_key)
            RegCloseKey(m_key);
    }
    CResultKey(const CResultKey&) = delete;
    CResultKey& operator=(const CResultKey&) = delete;

    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

bool ReadIn(HKEY hResults, const char* pszJobName, CJobResult& result) {
    BYTE buf[kMaxResultSize];
    DWORD size = sizeof buf;
    return RegQueryValueEx(hResults, pszJobName, nullptr, buf, &size) == ERROR_SUCCESS &&
           result.Load(buf, size);
}

void SignalWindows() {
    CNamedBroadcast(kClientEventName).Set();
}

} // namespace

CJobResult CJobResult::NotStarted(std::time_t t, ENotStarted why) {
    CJobResult result;
    result.m_bNotStarted = true;
    result.m_eWhy = why;
    result.m_nFinished = static_cast<std::int64_t>(t);
    result.m_nExitCode = kNotStartedExitCode;
    return result;
}

CJobResult CJobResult::Interrupted(std::time_t t, int sig) {
    CJobResult result;
    result.m_nFinished = static_cast<std::int64_t>(t);
    result.m_nExitCode = 2;
    result.m_bStopped = true;
    result.m_nSignal = static_cast<BYTE>(sig);
    return result;
}

std::vector<BYTE> CJobResult::Store() const {
    const std::string_view cut = std::string_view(m_strReason).substr(0, kMaxReason);
    const size_t reason =
        cut.size() - (m_strReason.size() > kMaxReason ? IncompleteUtf8Tail(cut) : 0);
    std::vector<BYTE> data(kStoreSize + 1 + 8 + 8 + 1 + 1 + 2 + 8 + 8 + 2 + reason);
    BYTE* p = data.data();
    PutU8(p, kVersion);
    PutU8(p, static_cast<BYTE>((m_bNotStarted ? kFlagNotStarted : 0) |
                               (m_bStopped ? kFlagStopped : 0) | (m_bFailed ? kFlagFailed : 0)));
    PutU64(p, static_cast<std::uint64_t>(m_nFinished));
    PutI32(p, m_nExitCode);
    PutU64(p, m_nFiles);
    PutU64(p, m_nInfected);
    PutU64(p, m_nChanged);
    PutU64(p, m_nErrors);
    PutU16(p, 0);
    PutU8(p, static_cast<BYTE>(m_bNotStarted ? m_eWhy : ENotStarted::ScannerMissing));
    PutU64(p, m_nSkipped);
    PutU64(p, m_nSuspicious);
    PutU8(p, m_nSignal);
    PutU8(p, static_cast<BYTE>(m_eSignatures));
    PutU16(p, m_nSignatureDays);
    PutU64(p, static_cast<std::uint64_t>(m_nLastClean));
    PutU64(p, m_nUnchecked);
    PutU16(p, static_cast<WORD>(reason));
    std::copy_n(m_strReason.data(), reason, p);
    return data;
}

bool CJobResult::Load(const BYTE* pBuf, size_t nAvail) {
    CByteReader in(pBuf, nAvail);
    if (in.Remaining() < kStoreSize)
        return false;
    BYTE version = 0;
    BYTE flags = 0;
    std::uint64_t finished = 0;
    std::int32_t exitCode = 0;
    CJobResult r;
    WORD reserved = 0;
    if (!in.ReadU8(version) || version != kVersion || !in.ReadU8(flags) ||
        (flags & ~kKnownFlags) != 0 || !ReadU64(in, finished) || !in.ReadI32(exitCode) ||
        !ReadU64(in, r.m_nFiles) || !ReadU64(in, r.m_nInfected) || !ReadU64(in, r.m_nChanged) ||
        !ReadU64(in, r.m_nErrors) || !in.ReadU16(reserved))
        return false;
    r.m_bNotStarted = (flags & kFlagNotStarted) != 0;
    r.m_bStopped = (flags & kFlagStopped) != 0;
    r.m_bFailed = (flags & kFlagFailed) != 0;
    r.m_nFinished = static_cast<std::int64_t>(finished);
    r.m_nExitCode = exitCode;
    BYTE why = 0;
    if (in.ReadU8(why) && r.m_bNotStarted && why <= static_cast<BYTE>(ENotStarted::ResultNotStored))
        r.m_eWhy = static_cast<ENotStarted>(why);
    if (in.Remaining() >= 8)
        ReadU64(in, r.m_nSkipped);
    if (in.Remaining() >= 8)
        ReadU64(in, r.m_nSuspicious);
    if (in.Remaining() >= 1)
        in.ReadU8(r.m_nSignal);
    BYTE signatures = 0;
    if (in.ReadU8(signatures) && signatures <= static_cast<BYTE>(ESignatures::Missing))
        r.m_eSignatures = static_cast<ESignatures>(signatures);
    if (in.Remaining() >= 2)
        in.ReadU16(r.m_nSignatureDays);
    std::uint64_t lastClean = 0;
    if (in.Remaining() >= 8 && ReadU64(in, lastClean))
        r.m_nLastClean = static_cast<std::int64_t>(lastClean);
    if (r.m_eSignatures != ESignatures::Stale)
        r.m_nSignatureDays = 0;
    if (in.Remaining() >= 8)
        ReadU64(in, r.m_nUnchecked);
    WORD reasonSize = 0;
    if (in.Remaining() >= 2 && in.ReadU16(reasonSize)) {
        if (reasonSize > kMaxReason || reasonSize > in.Remaining())
            return false;
        r.m_strReason.resize(reasonSize);
        in.ReadBytes(r.m_strReason.data(), reasonSize);
    }
    if (r.m_nUnchecked > r.m_nFiles)
        return false;
    // A scanner that never started has no exit code and found nothing.
    if (r.m_bNotStarted != (exitCode == kNotStartedExitCode))
        return false;
    if (r.m_bNotStarted &&
        (r.m_bStopped || r.m_bFailed || r.m_nFiles || r.m_nInfected || r.m_nChanged ||
         r.m_nErrors || r.m_nSkipped || r.m_nSuspicious || r.m_nSignal ||
         r.m_eSignatures != ESignatures::Current || r.m_nUnchecked || !r.m_strReason.empty()))
        return false;
    if (!r.m_bNotStarted && (exitCode < 0 || exitCode > 255))
        return false;
    *this = r;
    return true;
}

CJobResult::EState CJobResult::GetState() const {
    // The same precedence as the scanner's exit code: findings before
    // errors of single files, a scan that did not happen before everything.
    if (m_bNotStarted)
        return EState::NotStarted;
    if (m_bFailed)
        return EState::Error;
    if (m_nInfected > 0)
        return EState::Infected;
    if (m_nSuspicious > 0)
        return EState::Suspicious;
    if (m_nChanged > 0)
        return EState::Changed;
    if (m_bStopped)
        return EState::Stopped;
    return m_nErrors > 0 || m_nExitCode != 0 ? EState::Error : EState::Clean;
}

std::string CJobResult::GetText() const {
    // A run whose only fault is the missing signatures says just that.
    const bool bOnlyUnchecked = m_nUnchecked > 0 && GetState() == EState::Error && !m_bFailed &&
                                m_nErrors == 0 && m_nSignal == 0;
    std::string text = bOnlyUnchecked ? std::string() : StateText();
    if (m_nUnchecked > 0)
        text += (text.empty() ? "" : "; ") + WithCount(kTextUnchecked, m_nUnchecked);
    if (m_nSkipped > 0)
        text += WithCount(kTextFilesSkipped, m_nSkipped);
    if (m_eSignatures == ESignatures::Stale)
        text += WithCount(kTextStaleSignatures, m_nSignatureDays);
    else if (m_eSignatures == ESignatures::Missing && m_nUnchecked == 0)
        text += LoadResString(kTextNoSignatures);
    return text;
}

const char* CJobResult::GetStateWord() const {
    switch (GetState()) {
    case EState::Clean:
        return "clean";
    case EState::Stopped:
        return "stopped";
    case EState::Changed:
        return "changed";
    case EState::Suspicious:
        return "suspicious";
    case EState::Error:
        return "error";
    case EState::NotStarted:
        return "not-started";
    case EState::Infected:
        return "infected";
    }
    return "error";
}

std::string CJobResult::StateText() const {
    switch (GetState()) {
    case EState::Clean:
        return LoadResString(kTextClean);
    case EState::Stopped:
        return m_nSignal ? WithCount(kTextInterrupted, m_nSignal) : LoadResString(kTextStopped);
    case EState::Suspicious:
        return WithCount(kTextSuspicious, m_nSuspicious);
    case EState::Changed:
        return WithCount(kTextChanged, m_nChanged);
    case EState::Error:
        if (m_bFailed && !m_strReason.empty())
            return std::string(LoadResString(kTextError)) + ": " + EscapeControls(m_strReason);
        return LoadResString(kTextError);
    case EState::NotStarted:
        if (m_eWhy == ENotStarted::ResultNotStored)
            return LoadResString(kTextNotStored);
        return LoadResString(m_eWhy == ENotStarted::ScannerMissing
                                 ? kTextNotStarted
                                 : kTextSkipped + static_cast<unsigned>(m_eWhy) - 1);
    case EState::Infected:
        return WithCount(kTextInfected, m_nInfected);
    }
    return std::string();
}

std::string CJobResult::GetFinishedIso() const {
    return LocalIsoTime(m_nFinished);
}

std::string LocalIsoTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return std::string();
    char stamp[48];
    if (std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local) == 0)
        return std::string();
    const long offset = local.tm_gmtoff;
    // Real offsets stay within a day.
    const int minutes = static_cast<int>((offset < 0 ? -offset : offset) / 60 % (24 * 60));
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return std::string(stamp) + zone;
}

std::int64_t CJobResult::LastCleanTime() const {
    return GetState() == EState::Clean ? m_nFinished : m_nLastClean;
}

bool JobResultLess(const CJobResult* pA, const CJobResult* pB) {
    if (pA == nullptr || pB == nullptr)
        return pA == nullptr && pB != nullptr;
    if (pA->GetState() != pB->GetState())
        return pA->GetState() < pB->GetState();
    return pA->m_nFinished < pB->m_nFinished;
}

bool WriteJobResult(const char* pszJobName, const CJobResult& result, LONG* pnError) {
    LONG error = ERROR_INVALID_PARAMETER;
    if (pszJobName != nullptr && *pszJobName != '\0') {
        CResultKey key(true, &error);
        CJobResult stored = result;
        CJobResult replaced;
        if (stored.m_nLastClean == 0 && stored.GetState() != CJobResult::EState::Clean &&
            key.Get() && ReadIn(key.Get(), pszJobName, replaced) &&
            replaced.m_nFinished < stored.m_nFinished)
            stored.m_nLastClean = replaced.LastCleanTime();
        const std::vector<BYTE> data = stored.Store();
        if (key.Get())
            error = RegSetValueEx(key.Get(), pszJobName, REG_BINARY, data.data(),
                                  static_cast<DWORD>(data.size()));
        // Durable now: only then may the windows read it.
        if (error == ERROR_SUCCESS)
            RegFlushKey(key.Get());
    }
    if (pnError)
        *pnError = error;
    if (error != ERROR_SUCCESS)
        return false;
    SignalWindows();
    return true;
}

bool WriteNotStartedResult(const char* pszJobName, CJobResult::ENotStarted why) {
    return WriteJobResult(pszJobName, CJobResult::NotStarted(std::time(nullptr), why));
}

bool ReadJobResult(const char* pszJobName, CJobResult& result) {
    return CJobResultReader().Read(pszJobName, result);
}

CJobResultReader::~CJobResultReader() {
    if (m_hKey)
        RegCloseKey(m_hKey);
}

bool CJobResultReader::Read(const char* pszJobName, CJobResult& result) {
    if (pszJobName == nullptr)
        return false;
    if (!m_hKey) {
        if (m_bMissing)
            return false;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kResultKeyPath, &m_hKey) != ERROR_SUCCESS) {
            m_hKey = nullptr;
            m_bMissing = true;
            return false;
        }
    }
    return ReadIn(m_hKey, pszJobName, result);
}

LONG DeleteJobResultIn(HKEY hResults, const char* pszJobName) {
    if (!hResults)
        return ERROR_SUCCESS;
    const LONG status = RegDeleteValue(hResults, pszJobName);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LONG MoveJobResultIn(HKEY hResults, const char* pszOldName, const char* pszNewName) {
    if (!hResults)
        return ERROR_SUCCESS;
    BYTE buf[kMaxResultSize];
    DWORD size = sizeof buf;
    const LONG status = RegQueryValueEx(hResults, pszOldName, nullptr, buf, &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return DeleteJobResultIn(hResults, pszNewName);
    if (status == ERROR_MORE_DATA) {
        // Oversized: it cannot be a result, so it is dropped.
        const LONG removed = DeleteJobResultIn(hResults, pszOldName);
        return removed == ERROR_SUCCESS ? DeleteJobResultIn(hResults, pszNewName) : removed;
    }
    if (status != ERROR_SUCCESS)
        return status;
    return RegReplaceValue(hResults, pszOldName, pszNewName, REG_BINARY, buf, size);
}
