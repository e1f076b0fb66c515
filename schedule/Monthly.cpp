#include "Monthly.h"

#include "ByteReader.h"
#include "DaySearch.h"

#include <clocale>
#include <cstdio>

namespace {
constexpr unsigned kFormatId = 153;
constexpr size_t kFieldsSize = 8; // the time and the day of the month
} // namespace

bool CMonthly::IsValid() const {
    return m_nTime >= 0 && m_nTime <= 1440 && m_nDay >= 1 && m_nDay <= 31;
}

void CMonthly::Set(bool bSet, int nHour, int nMinute, int nDay) {
    m_nTime = bSet ? nHour * 60 + nMinute : -1;
    m_nDay = bSet ? nDay : -1;
}

void CMonthly::Get(int* pHour, int* pMinute, int* pDay) const {
    if (!IsValid())
        return;
    if (pHour != nullptr)
        *pHour = m_nTime / 60;
    if (pMinute != nullptr)
        *pMinute = m_nTime % 60;
    if (pDay != nullptr)
        *pDay = m_nDay;
}

CPeriod& CMonthly::CopyFrom(const CPeriod& src) {
    if (SameClass(src)) {
        const auto& monthly = static_cast<const CMonthly&>(src);
        m_nTime = monthly.m_nTime;
        m_nDay = monthly.m_nDay;
    }
    return CPeriod::CopyFrom(src);
}

bool CMonthly::IsEqual(const CPeriod& other) const {
    if (!CPeriod::IsEqual(other))
        return false;
    const auto& monthly = static_cast<const CMonthly&>(other);
    return !IsValid() || (m_nTime == monthly.m_nTime && m_nDay == monthly.m_nDay);
}

CPeriod* CMonthly::Clone() const {
    auto* copy = new CMonthly;
    copy->CopyFrom(*this);
    return copy;
}

int CMonthly::GetStoreSize() const {
    return CPeriod::GetStoreSize() + static_cast<int>(kFieldsSize);
}

int CMonthly::Store(BYTE* pBuf) const {
    BYTE* p = pBuf + CPeriod::Store(pBuf);
    PutI32(p, m_nTime);
    PutI32(p, m_nDay);
    return static_cast<int>(p - pBuf);
}

int CMonthly::Load(const BYTE* pBuf, size_t nAvail) {
    CByteReader reader(pBuf, nAvail);
    CMonthly loaded;
    if (!loaded.LoadBase(reader) || !reader.ReadI32(loaded.m_nTime) ||
        !reader.ReadI32(loaded.m_nDay))
        return 0;
    *this = loaded;
    return static_cast<int>(reader.Consumed());
}

void CMonthly::GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const {
    if (!BeginText(pBuf, nSize) || !IsValid())
        return;
    char format[64];
    LoadFormat(hRes, kFormatId, "%02d:%02d jeden %d.Tag des Monats", format, sizeof format);
    setlocale(LC_TIME, "");
    std::snprintf(pBuf, static_cast<size_t>(nSize), format, m_nTime / 60, m_nTime % 60, m_nDay);
}

bool CMonthly::GetNextStart(COleDateTime& t) const {
    if (!IsValid())
        return false;
    // A month that lacks the day is skipped: the walk goes on to the next
    // month that has it.
    return NextStartOnDay(t, m_nTime, {DayMatch::DayOfMonth, 1u << m_nDay});
}
