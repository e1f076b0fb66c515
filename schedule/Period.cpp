#include "Period.h"

#include "AtStartup.h"
#include "ByteReader.h"
#include "Daily.h"
#include "Hourly.h"
#include "Monthly.h"
#include "Once.h"
#include "Weekly.h"

#include <climits>
#include <cstdio>
#include <string>
#include <typeinfo>

namespace {

// In the order of PeriodKind, which is also the order of the name lookup.
constexpr const char* kClassNames[kPeriodKindCount] = {
    "class COnce",   "class CHourly",  "class CDaily",
    "class CWeekly", "class CMonthly", "class CAtStartup",
};

// Bytes of the base part after the name: the idle byte and the idle minutes.
constexpr size_t kIdleSize = 5;

} // namespace

const char* CPeriod::GetClassName(PeriodKind kind) {
    return kind >= 0 && kind < kPeriodKindCount ? kClassNames[kind] : nullptr;
}

std::unique_ptr<CPeriod> CPeriod::Create(PeriodKind kind) {
    switch (kind) {
    case PERIOD_ONCE:
        return std::make_unique<COnce>();
    case PERIOD_HOURLY:
        return std::make_unique<CHourly>();
    case PERIOD_DAILY:
        return std::make_unique<CDaily>();
    case PERIOD_WEEKLY:
        return std::make_unique<CWeekly>();
    case PERIOD_MONTHLY:
        return std::make_unique<CMonthly>();
    case PERIOD_AT_STARTUP:
        return std::make_unique<CAtStartup>();
    }
    return nullptr;
}

CPeriod* CPeriod::CreateFromStore(const BYTE* pBuf, size_t nAvail) {
    CByteReader reader(pBuf, nAvail);
    std::string name;
    if (!reader.ReadText(name)) // a length beyond nAvail fails before allocating
        return nullptr;
    for (int k = 0; k < kPeriodKindCount; ++k) {
        if (name != kClassNames[k])
            continue;
        std::unique_ptr<CPeriod> period = Create(static_cast<PeriodKind>(k));
        // Refuse a form that cannot hold the kind's fields, so that Load on the
        // new object cannot fail for want of bytes.
        const size_t fields = period->GetStoreSize() - TextStoreSize(name);
        return reader.Remaining() >= fields ? period.release() : nullptr;
    }
    return nullptr;
}

std::unique_ptr<CPeriod> CPeriod::LoadFromStore(const BYTE* pBuf, size_t nAvail, int* pConsumed) {
    std::unique_ptr<CPeriod> period(CreateFromStore(pBuf, nAvail));
    const int consumed = period ? period->Load(pBuf, nAvail) : 0;
    if (pConsumed != nullptr)
        *pConsumed = consumed;
    if (consumed == 0)
        period.reset();
    return period;
}

CPeriod& CPeriod::Assign(const CPeriod& src) {
    return CopyFrom(src);
}

CPeriod& CPeriod::CopyFrom(const CPeriod& src) {
    m_bIdle = src.m_bIdle;
    m_nIdleMinutes = src.m_nIdleMinutes;
    return *this;
}

bool CPeriod::SameClass(const CPeriod& other) const {
    return typeid(*this) == typeid(other);
}

bool CPeriod::IsEqual(const CPeriod& other) const {
    return SameClass(other) && IsValid() == other.IsValid() && m_bIdle == other.m_bIdle &&
           m_nIdleMinutes == other.m_nIdleMinutes;
}

int CPeriod::GetStoreSize() const {
    return static_cast<int>(TextStoreSize(GetClassName(GetKind())) + kIdleSize);
}

int CPeriod::Store(BYTE* pBuf) const {
    BYTE* p = pBuf;
    PutText(p, GetClassName(GetKind()));
    PutBool(p, m_bIdle);
    PutI32(p, m_nIdleMinutes);
    return static_cast<int>(p - pBuf);
}

bool CPeriod::LoadBase(CByteReader& reader) {
    CByteReader r = reader;
    std::string name;
    bool idle;
    std::int32_t minutes;
    if (!r.ReadText(name) || name != GetClassName(GetKind()) || !r.ReadBool(idle) ||
        !r.ReadI32(minutes))
        return false;
    // Load reports its count as an int; a name padded beyond that is refused.
    if (r.Consumed() > INT_MAX / 2)
        return false;
    m_bIdle = idle;
    m_nIdleMinutes = minutes;
    reader = r;
    return true;
}

int CPeriod::Load(const BYTE* pBuf, size_t nAvail) {
    CByteReader reader(pBuf, nAvail);
    return LoadBase(reader) ? static_cast<int>(reader.Consumed()) : 0;
}

bool CPeriod::BeginText(char* pBuf, int nSize) {
    if (pBuf == nullptr || nSize <= 0)
        return false;
    pBuf[0] = '\0';
    return true;
}

void CPeriod::LoadFormat(HINSTANCE hRes, unsigned id, const char* pDefault, char* pFormat,
                         int nSize) {
    // A table that lacks the entry keeps the built-in text rather than
    // turning the description empty.
    if (hRes != nullptr && LoadStringA(hRes, id, pFormat, nSize) > 0)
        return;
    std::snprintf(pFormat, static_cast<size_t>(nSize), "%s", pDefault);
}
