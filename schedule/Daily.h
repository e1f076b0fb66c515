#pragma once

#include "Period.h"

// Starts a job at a fixed time of day on each selected weekday.
class CDaily : public CPeriod {
public:
    // In this order: the time when both pHour and pMinute are given; each
    // given weekday flag (*p != 0); last, bSet false unsets the time.
    void Set(bool bSet, const int* pHour, const int* pMinute, const int* pMon, const int* pTue,
             const int* pWed, const int* pThu, const int* pFri, const int* pSat, const int* pSun);
    // Hour and minute only when valid; the weekday flags (0 or 1) always.
    void Get(int* pHour, int* pMinute, int* pMon, int* pTue, int* pWed, int* pThu, int* pFri,
             int* pSat, int* pSun) const;

    CPeriod& CopyFrom(const CPeriod& src) override;
    bool IsEqual(const CPeriod& other) const override;
    CPeriod* Clone() const override;
    int GetStoreSize() const override;
    int Store(BYTE* pBuf) const override;
    int Load(const BYTE* pBuf, size_t nAvail) override;
    void GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const override;
    bool GetNextStart(COleDateTime& t) const override;
    bool IsValid() const override { return m_nTime >= 0 && m_nTime <= 1440; }
    PeriodKind GetKind() const override { return PERIOD_DAILY; }

private:
    // Flag for a day of week counted 1 = Sunday ... 7 = Saturday.
    bool DayFlag(int nDayOfWeek) const;

    int m_nTime = -1;                                            // minute of the day
    bool m_bDay[7] = {true, true, true, true, true, true, true}; // Monday first
};
