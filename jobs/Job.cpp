#include "Job.h"

#include "ByteReader.h"
#include "Clock.h"
#include "Daily.h"
#include "LocalInstant.h"

#include <climits>
#include <cstring>
#include <utility>

namespace {

// Name (u32 length, text, zero) is followed by the active flag, the last
// start and the has-started flag.
constexpr size_t kFixedFieldsSize = 1 + sizeof(SYSTEMTIME) + 1;

// Milliseconds of a last start in the second pass of a repeated hour.
constexpr WORD kLaterPassMark = 1;

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Length of the longest prefix of s (len bytes) that has at most max bytes and
// does not end inside a UTF-8 character.
size_t Utf8PrefixLength(const char* s, size_t len, size_t max) {
    if (len <= max)
        return len;
    // s[max] is the first byte dropped. While it continues a character, move
    // the cut back to that character's first byte; a character has at most
    // four bytes, so a longer run of continuation bytes is not UTF-8 and is
    // cut plainly.
    size_t cut = max;
    for (int back = 0; back < 4 && cut > 0; ++back, --cut) {
        if (!IsUtf8Continuation(s[cut]))
            return cut;
    }
    return max;
}

} // namespace

CJob::CJob() : m_pPeriod(std::make_unique<CDaily>()) {}

CJob::~CJob() = default;

void CJob::SetName(const char* psz) {
    if (psz == nullptr) {
        m_strName.clear();
        return;
    }
    const size_t len = std::strlen(psz);
    m_strName.assign(psz, Utf8PrefixLength(psz, len, kMaxNameLength));
}

bool CJob::IsActive() const {
    return m_bActive && m_pPeriod->IsValid();
}

bool CJob::SetActive(bool b) {
    if (b && !m_bActive)
        RebaseReference(CurrentTime());
    m_bActive = b;
    return b ? IsActive() : true;
}

void CJob::SetPeriod(const CPeriod& src, const COleDateTime& ref) {
    m_pPeriod.reset(src.Clone());
    SetLastStart(ref - COleDateTimeSpan(0, 0, 1, 0), false);
}

void CJob::SetLastStart(const COleDateTime& t, bool bStarted) {
    SYSTEMTIME st;
    if (t.GetStatus() == COleDateTime::valid && t.GetAsSystemTime(st)) {
        st.wSecond = 0;
        st.wMilliseconds = 0;
        m_LastStart = st;
    }
    m_bHasLastStart = bStarted;
}

void CJob::SetLastStartAt(time_t t, bool bStarted) {
    const time_t minute = t - ((t % 60) + 60) % 60;
    SetLastStart(COleDateTime(minute), bStarted);
    m_LastStart.wMilliseconds = IsLaterOccurrence(minute) ? kLaterPassMark : 0;
}

time_t CJob::GetLastStartInstant() const {
    return InstantOf(COleDateTime(m_LastStart), m_LastStart.wMilliseconds == kLaterPassMark);
}

void CJob::RebaseReference(time_t now) {
    SetLastStartAt(now - 60, false);
}

void CJob::CopyLastStart(const CJob& other) {
    m_LastStart = other.m_LastStart;
    m_bHasLastStart = other.m_bHasLastStart;
}

bool CJob::HasSameLastStart(const CJob& other) const {
    return std::memcmp(&m_LastStart, &other.m_LastStart, sizeof m_LastStart) == 0 &&
           m_bHasLastStart == other.m_bHasLastStart;
}

namespace {

std::vector<BYTE> PeriodBytes(const CPeriod& period) {
    std::vector<BYTE> bytes(static_cast<size_t>(period.GetStoreSize()));
    period.Store(bytes.data());
    return bytes;
}

template <class T> void TakeIfEdited(T& field, const T& read, const T& edited) {
    if (!(edited == read))
        field = edited;
}

} // namespace

void CJob::TakeEdits(const CJob& read, const CJob& edited) {
    TakeIfEdited(m_strName, read.m_strName, edited.m_strName);
    TakeIfEdited(m_bActive, read.m_bActive, edited.m_bActive);
    if (PeriodBytes(*edited.m_pPeriod) != PeriodBytes(*read.m_pPeriod))
        m_pPeriod.reset(edited.m_pPeriod->Clone());
    if (!edited.HasSameLastStart(read))
        CopyLastStart(edited);
    CScanParameter& mine = m_ScanParameter;
    const CScanParameter& was = read.m_ScanParameter;
    const CScanParameter& now = edited.m_ScanParameter;
    TakeIfEdited(mine.m_strDirectory, was.m_strDirectory, now.m_strDirectory);
    TakeIfEdited(mine.m_bHeuristic, was.m_bHeuristic, now.m_bHeuristic);
    TakeIfEdited(mine.m_nLogMode, was.m_nLogMode, now.m_nLogMode);
    TakeIfEdited(mine.m_nReferenceCheck, was.m_nReferenceCheck, now.m_nReferenceCheck);
    TakeIfEdited(mine.m_nReferenceDiffAction, was.m_nReferenceDiffAction,
                 now.m_nReferenceDiffAction);
    TakeIfEdited(mine.m_nInfectionAction, was.m_nInfectionAction, now.m_nInfectionAction);
    TakeIfEdited(mine.m_nWindowMode, was.m_nWindowMode, now.m_nWindowMode);
    TakeIfEdited(mine.m_nEndMode, was.m_nEndMode, now.m_nEndMode);
    TakeIfEdited(mine.m_bSubdirectories, was.m_bSubdirectories, now.m_bSubdirectories);
    TakeIfEdited(mine.m_nFileSelection, was.m_nFileSelection, now.m_nFileSelection);
}

void CJob::PrepareIncoming(const CJob* pReplaced, time_t now) {
    if (pReplaced != nullptr && pReplaced->IsActive()) {
        CopyLastStart(*pReplaced);
    } else {
        RebaseReference(now);
    }
}

const char* CJob::GetPeriodText(HINSTANCE hRes) const {
    thread_local char buf[kTextSize];
    buf[0] = '\0';
    m_pPeriod->GetDescription(hRes, buf, sizeof buf);
    return buf;
}

int CJob::GetStoreSize() const {
    return static_cast<int>(TextStoreSize(m_strName) + kFixedFieldsSize) +
           m_pPeriod->GetStoreSize() + m_ScanParameter.GetStoreSize();
}

void CJob::WriteStoredForm(BYTE* pBuf) const {
    BYTE* p = pBuf;
    PutText(p, m_strName);
    PutBool(p, m_bActive);
    PutSystemTime(p, m_LastStart);
    PutBool(p, m_bHasLastStart);
    p += m_pPeriod->Store(p);
    m_ScanParameter.Store(p);
}

int CJob::Store(BYTE*& pBuf) const {
    const int size = GetStoreSize();
    pBuf = new BYTE[size];
    WriteStoredForm(pBuf);
    return size;
}

std::vector<BYTE> CJob::Store() const {
    std::vector<BYTE> bytes(GetStoreSize());
    WriteStoredForm(bytes.data());
    return bytes;
}

bool CJob::Load(const BYTE* pBuf, size_t nAvail, size_t* pConsumed) {
    CByteReader reader(pBuf, nAvail);
    std::string name;
    bool bActive = false;
    SYSTEMTIME lastStart;
    bool bHasLastStart = false;
    // ReadText checks the name's length against what remains before it
    // allocates anything.
    if (!reader.ReadText(name) || reader.Remaining() < kFixedFieldsSize ||
        !reader.ReadBool(bActive) || !reader.ReadSystemTime(lastStart) ||
        !reader.ReadBool(bHasLastStart))
        return false;

    int nPeriodSize = 0;
    std::unique_ptr<CPeriod> period =
        CPeriod::LoadFromStore(reader.Current(), reader.Remaining(), &nPeriodSize);
    if (!period || !reader.Skip(static_cast<size_t>(nPeriodSize)))
        return false;

    CScanParameter params;
    const int nParamsSize = params.Load(reader.Current(), reader.Remaining());
    if (nParamsSize == 0)
        return false;
    if (pConsumed != nullptr)
        *pConsumed = reader.Consumed() + static_cast<size_t>(nParamsSize);

    // Everything fits: only now replace the stored fields.
    m_strName = std::move(name);
    m_bActive = bActive;
    m_LastStart = lastStart;
    m_bHasLastStart = bHasLastStart;
    m_pPeriod = std::move(period);
    m_ScanParameter = std::move(params);
    return true;
}
