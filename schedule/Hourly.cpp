#include "Hourly.h"

#include "ByteReader.h"

#include <clocale>
#include <cstdio>

namespace {
constexpr unsigned kFormatId = 150;
constexpr unsigned kFormatOneId = 173; // the same text for minute 1
constexpr size_t kFieldsSize = 4;
} // namespace

void CHourly::SetMinute(bool bSet, int nMinute) {
    m_nMinute = bSet ? nMinute : -1;
}

int CHourly::GetMinute() const {
    return IsValid() ? m_nMinute : 0;
}

CPeriod& CHourly::CopyFrom(const CPeriod& src) {
    if (SameClass(src))
        m_nMinute = static_cast<const CHourly&>(src).m_nMinute;
    return CPeriod::CopyFrom(src);
}

bool CHourly::IsEqual(const CPeriod& other) const {
    if (!CPeriod::IsEqual(other))
        return false;
    return !IsValid() || m_nMinute == static_cast<const CHourly&>(other).m_nMinute;
}

CPeriod* CHourly::Clone() const {
    auto* copy = new CHourly;
    copy->CopyFrom(*this);
    return copy;
}

int CHourly::GetStoreSize() const {
    return CPeriod::GetStoreSize() + static_cast<int>(kFieldsSize);
}

int CHourly::Store(BYTE* pBuf) const {
    BYTE* p = pBuf + CPeriod::Store(pBuf);
    PutI32(p, m_nMinute);
    return static_cast<int>(p - pBuf);
}

int CHourly::Load(const BYTE* pBuf, size_t nAvail) {
    CByteReader reader(pBuf, nAvail);
    CHourly loaded;
    if (!loaded.LoadBase(reader) || !reader.ReadI32(loaded.m_nMinute))
        return 0;
    *this = loaded;
    return static_cast<int>(reader.Consumed());
}

void CHourly::GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const {
    if (!BeginText(pBuf, nSize) || !IsValid())
        return;
    char format[64];
    LoadFormat(hRes, m_nMinute == 1 ? kFormatOneId : kFormatId,
               "%d Minuten nach jeder vollen Stunde", format, sizeof format);
    setlocale(LC_TIME, "");
    std::snprintf(pBuf, static_cast<size_t>(nSize), format, m_nMinute);
}

bool CHourly::GetNextStart(COleDateTime& t) const {
    if (!IsValid())
        return false;
    DateFields f;
    if (!t.GetDateFields(f))
        return false;
    // At or past this hour's start minute: the start is in the next hour.
    if (f.minute >= m_nMinute && !(t + COleDateTimeSpan(0, 1, 0, 0)).GetDateFields(f))
        return false;
    const COleDateTime start =
        COleDateTime(f.year, f.month, f.day, f.hour, 0, 0) + COleDateTimeSpan(0, 0, m_nMinute, 0);
    if (start.GetStatus() != DateTimeStatus::valid) // beyond the end of the calendar
        return false;
    t = start;
    return true;
}
