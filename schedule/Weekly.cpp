#include "Weekly.h"

#include "ByteReader.h"
#include "DaySearch.h"

#include <clocale>

namespace {
constexpr unsigned kFormatId = 152;
constexpr size_t kFieldsSize = 8; // the time and the weekday
} // namespace

bool CWeekly::IsValid() const {
    return m_nTime >= 0 && m_nTime <= 1440 && m_nDayOfWeek >= 1 && m_nDayOfWeek <= 7;
}

void CWeekly::Set(bool bSet, int nHour, int nMinute, int nDay) {
    m_nTime = bSet ? nHour * 60 + nMinute : -1;
    m_nDayOfWeek = bSet ? nDay : 0;
}

void CWeekly::Get(int* pHour, int* pMinute, int* pDay) const {
    if (!IsValid())
        return;
    if (pHour != nullptr)
        *pHour = m_nTime / 60;
    if (pMinute != nullptr)
        *pMinute = m_nTime % 60;
    if (pDay != nullptr)
        *pDay = m_nDayOfWeek;
}

CPeriod& CWeekly::CopyFrom(const CPeriod& src) {
    if (SameClass(src)) {
        const auto& weekly = static_cast<const CWeekly&>(src);
        m_nTime = weekly.m_nTime;
        m_nDayOfWeek = weekly.m_nDayOfWeek;
    }
    return CPeriod::CopyFrom(src);
}

bool CWeekly::IsEqual(const CPeriod& other) const {
    if (!CPeriod::IsEqual(other))
        return false;
    const auto& weekly = static_cast<const CWeekly&>(other);
    return !IsValid() || (m_nTime == weekly.m_nTime && m_nDayOfWeek == weekly.m_nDayOfWeek);
}

CPeriod* CWeekly::Clone() const {
    auto* copy = new CWeekly;
    copy->CopyFrom(*this);
    return copy;
}

int CWeekly::GetStoreSize() const {
    return CPeriod::GetStoreSize() + static_cast<int>(kFieldsSize);
}

int CWeekly::Store(BYTE* pBuf) const {
    BYTE* p = pBuf + CPeriod::Store(pBuf);
    PutI32(p, m_nTime);
    PutI32(p, m_nDayOfWeek);
    return static_cast<int>(p - pBuf);
}

int CWeekly::Load(const BYTE* pBuf, size_t nAvail) {
    CByteReader reader(pBuf, nAvail);
    CWeekly loaded;
    if (!loaded.LoadBase(reader) || !reader.ReadI32(loaded.m_nTime) ||
        !reader.ReadI32(loaded.m_nDayOfWeek))
        return 0;
    *this = loaded;
    return static_cast<int>(reader.Consumed());
}

void CWeekly::GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const {
    if (!BeginText(pBuf, nSize) || !IsValid())
        return;
    char format[64];
    LoadFormat(hRes, kFormatId, "%H:%M jeden %A", format, sizeof format);
    setlocale(LC_TIME, "");
    // A sample date that carries the weekday name: the first such weekday
    // from today on, today included. Without a readable today there is none.
    const DayMatch match{DayMatch::DayOfWeek, 1u << m_nDayOfWeek};
    CalendarDay day;
    if (FindDay(COleDateTime::GetCurrentTime(), false, match, day) != DaySearchResult::Found)
        return;
    StartOnDay(day, m_nTime).Format(pBuf, nSize, format);
}

bool CWeekly::GetNextStart(COleDateTime& t) const {
    if (!IsValid())
        return false;
    return NextStartOnDay(t, m_nTime, {DayMatch::DayOfWeek, 1u << m_nDayOfWeek});
}
