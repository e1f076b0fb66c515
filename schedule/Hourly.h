#pragma once

#include "Period.h"

// Starts a job every hour at a fixed minute past the full hour.
class CHourly : public CPeriod {
public:
    // m_nMinute = nMinute when bSet, else -1 (unset). No range check.
    void SetMinute(bool bSet, int nMinute);
    // The minute when valid, else 0.
    int GetMinute() const;

    CPeriod& CopyFrom(const CPeriod& src) override;
    bool IsEqual(const CPeriod& other) const override;
    CPeriod* Clone() const override;
    int GetStoreSize() const override;
    int Store(BYTE* pBuf) const override;
    int Load(const BYTE* pBuf, size_t nAvail) override;
    void GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const override;
    bool GetNextStart(COleDateTime& t) const override;
    bool IsValid() const override { return m_nMinute >= 0 && m_nMinute <= 59; }
    PeriodKind GetKind() const override { return PERIOD_HOURLY; }

private:
    int m_nMinute = -1;
};
