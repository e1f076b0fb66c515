#include "AtStartup.h"

#include <clocale>
#include <cstdio>

namespace {
constexpr unsigned kTextId = 154;
} // namespace

CPeriod& CAtStartup::CopyFrom(const CPeriod& src) {
    return CPeriod::CopyFrom(src);
}

bool CAtStartup::IsEqual(const CPeriod& other) const {
    return CPeriod::IsEqual(other);
}

CPeriod* CAtStartup::Clone() const {
    auto* copy = new CAtStartup;
    copy->CopyFrom(*this);
    return copy;
}

int CAtStartup::GetStoreSize() const {
    return CPeriod::GetStoreSize();
}

int CAtStartup::Store(BYTE* pBuf) const {
    return CPeriod::Store(pBuf);
}

int CAtStartup::Load(const BYTE* pBuf, size_t nAvail) {
    return CPeriod::Load(pBuf, nAvail);
}

void CAtStartup::GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const {
    if (!BeginText(pBuf, nSize))
        return;
    char text[64];
    LoadFormat(hRes, kTextId, "Systemstart", text, sizeof text);
    setlocale(LC_TIME, "");
    // Copied as it stands: a stray '%' in the table must not act as a directive.
    std::snprintf(pBuf, static_cast<size_t>(nSize), "%s", text);
}

bool CAtStartup::GetNextStart(COleDateTime&) const {
    return false;
}
