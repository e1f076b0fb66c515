#include "Once.h"

#include "ByteReader.h"

#include <clocale>
#include <cstring>

namespace {
constexpr unsigned kFormatId = 149;
constexpr size_t kFieldsSize = 17; // the start and the set flag
} // namespace

void COnce::Set(bool bSet, const SYSTEMTIME* pTime) {
    m_bSet = bSet;
    if (pTime != nullptr)
        m_time = *pTime;
}

void COnce::Get(SYSTEMTIME* pTime) const {
    if (IsValid() && pTime != nullptr)
        *pTime = m_time;
}

CPeriod& COnce::CopyFrom(const CPeriod& src) {
    if (SameClass(src)) {
        const auto& once = static_cast<const COnce&>(src);
        m_time = once.m_time;
        m_bSet = once.m_bSet;
    }
    return CPeriod::CopyFrom(src);
}

bool COnce::IsEqual(const CPeriod& other) const {
    if (!CPeriod::IsEqual(other))
        return false;
    // The day of week counts too, though nothing reads it back.
    return !IsValid() ||
           std::memcmp(&m_time, &static_cast<const COnce&>(other).m_time, sizeof m_time) == 0;
}

CPeriod* COnce::Clone() const {
    auto* copy = new COnce;
    copy->CopyFrom(*this);
    return copy;
}

int COnce::GetStoreSize() const {
    return CPeriod::GetStoreSize() + static_cast<int>(kFieldsSize);
}

int COnce::Store(BYTE* pBuf) const {
    BYTE* p = pBuf + CPeriod::Store(pBuf);
    PutSystemTime(p, m_time);
    PutBool(p, m_bSet);
    return static_cast<int>(p - pBuf);
}

int COnce::Load(const BYTE* pBuf, size_t nAvail) {
    CByteReader reader(pBuf, nAvail);
    COnce loaded;
    if (!loaded.LoadBase(reader) || !reader.ReadSystemTime(loaded.m_time) ||
        !reader.ReadBool(loaded.m_bSet))
        return 0;
    *this = loaded;
    return static_cast<int>(reader.Consumed());
}

void COnce::GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const {
    if (!BeginText(pBuf, nSize) || !IsValid())
        return;
    char format[64];
    LoadFormat(hRes, kFormatId, "%A %d.%B %Y %H:%M", format, sizeof format);
    setlocale(LC_TIME, "");
    COleDateTime(m_time).Format(pBuf, nSize, format);
}

bool COnce::GetNextStart(COleDateTime& t) const {
    if (!IsValid())
        return false;
    // The fixed start, whatever the reference; the caller judges whether it
    // still lies ahead. Impossible fields give an invalid value.
    t = COleDateTime(m_time);
    return true;
}
