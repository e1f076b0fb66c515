#pragma once

#include "Period.h"

// Starts a job once a week, on one weekday at a fixed time.
class CWeekly : public CPeriod {
public:
    // When bSet: time = nHour * 60 + nMinute, weekday = nDay (1 = Sunday ...
    // 7 = Saturday), no range check. Otherwise both return to unset.
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
    PeriodKind GetKind() const override { return PERIOD_WEEKLY; }

private:
    int m_nTime = -1;     // minute of the day
    int m_nDayOfWeek = 0; // 1 = Sunday ... 7 = Saturday; 0 unset
};
