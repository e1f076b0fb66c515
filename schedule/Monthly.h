#pragma once

#include "Period.h"

// Starts a job once a month, on one day of the month at a fixed time. Months
// that lack the day (29, 30, 31) are skipped.
class CMonthly : public CPeriod {
public:
    // When bSet: time = nHour * 60 + nMinute, day of month = nDay, no range
    // check. Otherwise both return to unset (-1).
    void Set(bool bSet, int nHour, int nMinute, int nDay);
    // Writes the given pointers only when valid.
    void Get(int* pHour, int* pMinute, int* pDay) const;

    CPeriod& CopyFrom(const CPeriod& src) override;
    bool IsEqual(const CPeriod& other) const override;
    CPeriod* Clone() const override;
    int GetStoreSize() const override;
    int Store(BYTE* pBuf) const override;
    int Load(const BYTE* pBuf, size_t nAvail) override;
    void GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const override;
    bool GetNextStart(COleDateTime& t) const override;
    bool IsValid() const override;
    PeriodKind GetKind() const override { return PERIOD_MONTHLY; }

private:
    int m_nTime = -1; // minute of the day
    int m_nDay = -1;  // 1..31
};
