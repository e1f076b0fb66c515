#pragma once

#include "Period.h"

// Marks a job that the scan server starts when the computer starts. It has
// no time of its own, so it never has a next start.
class CAtStartup : public CPeriod {
public:
    CPeriod& CopyFrom(const CPeriod& src) override;
    bool IsEqual(const CPeriod& other) const override;
    CPeriod* Clone() const override;
    int GetStoreSize() const override;
    int Store(BYTE* pBuf) const override;
    int Load(const BYTE* pBuf, size_t nAvail) override;
    void GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const override;
    bool GetNextStart(COleDateTime& t) const override;
    bool IsAtStartup() const override { return true; }
    bool IsValid() const override { return true; }
    PeriodKind GetKind() const override { return PERIOD_AT_STARTUP; }
};
