#pragma once

// One configured schedule of each kind, shared by the schedule tests.

#include "AtStartup.h"
#include "Daily.h"
#include "Hourly.h"
#include "Monthly.h"
#include "Once.h"
#include "Weekly.h"

#include <memory>
#include <vector>

inline std::unique_ptr<CPeriod> MakeSample(PeriodKind kind) {
    switch (kind) {
    case PERIOD_ONCE: {
        auto p = std::make_unique<COnce>();
        const SYSTEMTIME st{1999, 3, 3, 2, 14, 0, 0, 0};
        p->Set(true, &st);
        p->SetIdle(true, 5);
        return p;
    }
    case PERIOD_HOURLY: {
        auto p = std::make_unique<CHourly>();
        p->SetMinute(true, 30);
        return p;
    }
    case PERIOD_DAILY: {
        auto p = std::make_unique<CDaily>();
        const int hour = 8, minute = 5, off = 0;
        p->Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &off);
        p->SetIdle(true, 30);
        return p;
    }
    case PERIOD_WEEKLY: {
        auto p = std::make_unique<CWeekly>();
        p->Set(true, 8, 0, 2);
        return p;
    }
    case PERIOD_MONTHLY: {
        auto p = std::make_unique<CMonthly>();
        p->Set(true, 8, 30, 31);
        p->SetIdle(false, 7);
        return p;
    }
    case PERIOD_AT_STARTUP: {
        auto p = std::make_unique<CAtStartup>();
        p->SetIdle(true, 12);
        return p;
    }
    }
    return nullptr;
}

inline std::vector<BYTE> StoredForm(const CPeriod& period) {
    std::vector<BYTE> bytes(static_cast<size_t>(period.GetStoreSize()));
    bytes.resize(static_cast<size_t>(period.Store(bytes.data())));
    return bytes;
}

constexpr PeriodKind kAllKinds[] = {PERIOD_ONCE,   PERIOD_HOURLY,  PERIOD_DAILY,
                                    PERIOD_WEEKLY, PERIOD_MONTHLY, PERIOD_AT_STARTUP};
