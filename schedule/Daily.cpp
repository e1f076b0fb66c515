#include "Daily.h"

#include "ByteReader.h"
#include "DaySearch.h"

#include <clocale>
#include <cstdio>

namespace {
constexpr unsigned kFormatId = 151;
constexpr unsigned kAlmostId = 155;
constexpr size_t kFieldsSize = 11; // the time and seven day flags
} // namespace

bool CDaily::DayFlag(int nDayOfWeek) const {
    // m_bDay starts on Monday; day of week 1 is Sunday.
    return m_bDay[nDayOfWeek == 1 ? 6 : nDayOfWeek - 2];
}

void CDaily::Set(bool bSet, const int* pHour, const int* pMinute, const int* pMon, const int* pTue,
                 const int* pWed, const int* pThu, const int* pFri, const int* pSat,
                 const int* pSun) {
    if (pHour != nullptr && pMinute != nullptr)
        m_nTime = *pHour * 60 + *pMinute;
    const int* days[7] = {pMon, pTue, pWed, pThu, pFri, pSat, pSun};
    for (int i = 0; i < 7; ++i)
        if (days[i] != nullptr)
            m_bDay[i] = *days[i] != 0;
    if (!bSet)
        m_nTime = -1;
}

void CDaily::Get(int* pHour, int* pMinute, int* pMon, int* pTue, int* pWed, int* pThu, int* pFri,
                 int* pSat, int* pSun) const {
    if (IsValid()) {
        if (pHour != nullptr)
            *pHour = m_nTime / 60;
        if (pMinute != nullptr)
            *pMinute = m_nTime % 60;
    }
    int* days[7] = {pMon, pTue, pWed, pThu, pFri, pSat, pSun};
    for (int i = 0; i < 7; ++i)
        if (days[i] != nullptr)
            *days[i] = m_bDay[i] ? 1 : 0;
}

CPeriod& CDaily::CopyFrom(const CPeriod& src) {
    if (SameClass(src)) {
        const auto& daily = static_cast<const CDaily&>(src);
        m_nTime = daily.m_nTime;
        for (int i = 0; i < 7; ++i)
            m_bDay[i] = daily.m_bDay[i];
    }
    return CPeriod::CopyFrom(src);
}

bool CDaily::IsEqual(const CPeriod& other) const {
    if (!CPeriod::IsEqual(other))
        return false;
    if (!IsValid())
        return true;
    const auto& daily = static_cast<const CDaily&>(other);
    if (m_nTime != daily.m_nTime)
        return false;
    for (int i = 0; i < 7; ++i)
        if (m_bDay[i] != daily.m_bDay[i])
            return false;
    return true;
}

CPeriod* CDaily::Clone() const {
    auto* copy = new CDaily;
    copy->CopyFrom(*this);
    return copy;
}

int CDaily::GetStoreSize() const {
    return CPeriod::GetStoreSize() + static_cast<int>(kFieldsSize);
}

int CDaily::Store(BYTE* pBuf) const {
    BYTE* p = pBuf + CPeriod::Store(pBuf);
    PutI32(p, m_nTime);
    for (bool day : m_bDay)
        PutBool(p, day);
    return static_cast<int>(p - pBuf);
}

int CDaily::Load(const BYTE* pBuf, size_t nAvail) {
    CByteReader reader(pBuf, nAvail);
    CDaily loaded;
    if (!loaded.LoadBase(reader) || !reader.ReadI32(loaded.m_nTime))
        return 0;
    for (bool& day : loaded.m_bDay)
        if (!reader.ReadBool(day))
            return 0;
    *this = loaded;
    return static_cast<int>(reader.Consumed());
}

void CDaily::GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const {
    if (!BeginText(pBuf, nSize) || !IsValid())
        return;
    char format[64];
    char almost[16];
    LoadFormat(hRes, kFormatId, "%02d:%02d%sjeden Tag", format, sizeof format);
    LoadFormat(hRes, kAlmostId, " fast ", almost, sizeof almost);
    setlocale(LC_TIME, "");
    bool everyDay = true;
    for (bool day : m_bDay)
        everyDay = everyDay && day;
    std::snprintf(pBuf, static_cast<size_t>(nSize), format, m_nTime / 60, m_nTime % 60,
                  everyDay ? " " : almost);
}

bool CDaily::GetNextStart(COleDateTime& t) const {
    if (!IsValid())
        return false;
    DayMatch match{DayMatch::DayOfWeek, 0};
    for (int dayOfWeek = 1; dayOfWeek <= 7; ++dayOfWeek)
        if (DayFlag(dayOfWeek))
            match.mask |= 1u << dayOfWeek;
    if (match.mask == 0) // no weekday chosen: there is never a start
        return false;
    return NextStartOnDay(t, m_nTime, match);
}
