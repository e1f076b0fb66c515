#pragma once

#include "Period.h"

// Starts a job one time, at a fixed date and time.
class COnce : public CPeriod {
public:
    // m_bSet = bSet; copies *pTime when given.
    void Set(bool bSet, const SYSTEMTIME* pTime);
    // Copies the start out when valid and pTime is given.
    void Get(SYSTEMTIME* pTime) const;

    CPeriod& CopyFrom(const CPeriod& src) override;
    bool IsEqual(const CPeriod& other) const override;
    CPeriod* Clone() const override;
    int GetStoreSize() const override;
    int Store(BYTE* pBuf) const override;
    int Load(const BYTE* pBuf, size_t nAvail) override;
    void GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const override;
    bool GetNextStart(COleDateTime& t) const override;
    bool IsValid() const override { return m_bSet; }
    PeriodKind GetKind() const override { return PERIOD_ONCE; }

private:
    SYSTEMTIME m_time{}; // zero until set, so the stored bytes are defined
    bool m_bSet = false;
};
