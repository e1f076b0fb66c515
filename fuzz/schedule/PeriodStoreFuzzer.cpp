// Stored schedules from outside bytes: the factory and Load must stay within
// the bytes given, refuse what does not fit without changing the object, and
// what loads must store back to the same bytes.
#include "AtStartup.h"
#include "Daily.h"
#include "Hourly.h"
#include "Monthly.h"
#include "Once.h"
#include "Weekly.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

std::vector<BYTE> StoredForm(const CPeriod& period) {
    std::vector<BYTE> bytes(static_cast<size_t>(period.GetStoreSize()));
    if (static_cast<size_t>(period.Store(bytes.data())) != bytes.size())
        std::abort();
    return bytes;
}

// Offsets of the one-byte flags in a stored form whose name field is n bytes;
// these read any byte but 0 as true and are written back as 1.
std::vector<size_t> FlagOffsets(PeriodKind kind, size_t n) {
    const size_t base = 4 + n;
    std::vector<size_t> flags = {base};
    if (kind == PERIOD_ONCE)
        flags.push_back(base + 5 + 16);
    if (kind == PERIOD_DAILY)
        for (size_t i = 0; i < 7; ++i)
            flags.push_back(base + 5 + 4 + i);
    return flags;
}

void CheckRoundTrip(const CPeriod& loaded, const uint8_t* data, size_t consumed) {
    const std::vector<BYTE> out = StoredForm(loaded);
    // The name is stored without padding, so compare when the input had none.
    const size_t nameField = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8 |
                             static_cast<size_t>(data[2]) << 16 |
                             static_cast<size_t>(data[3]) << 24;
    if (consumed == out.size()) {
        const std::vector<size_t> flags = FlagOffsets(loaded.GetKind(), nameField);
        for (size_t i = 0; i < out.size(); ++i) {
            if (out[i] == data[i])
                continue;
            bool isFlag = false;
            for (size_t f : flags)
                isFlag = isFlag || f == i;
            if (!isFlag || out[i] != 1 || data[i] == 0)
                std::abort();
        }
    }
    // The stored form itself loads back to an equal object and stores the same.
    int again = 0;
    const std::unique_ptr<CPeriod> reloaded =
        CPeriod::LoadFromStore(out.data(), out.size(), &again);
    if (!reloaded || static_cast<size_t>(again) != out.size() || !reloaded->IsEqual(loaded) ||
        StoredForm(*reloaded) != out)
        std::abort();
}

void Exercise(const CPeriod& period, const uint8_t* data, size_t size) {
    double dt = 36526.5;
    if (size >= sizeof dt)
        std::memcpy(&dt, data + size - sizeof dt, sizeof dt);
    COleDateTime t(dt);
    period.GetNextStart(t);
    char buf[260];
    period.GetDescription(GetResourceHandle(), buf, sizeof buf);
    period.GetDescription(nullptr, buf, 16);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Load on an object of every kind: either all of it or none of it.
    for (int k = 0; k < kPeriodKindCount; ++k) {
        const std::unique_ptr<CPeriod> period = CPeriod::Create(static_cast<PeriodKind>(k));
        period->SetIdle(true, 77);
        const std::vector<BYTE> before = StoredForm(*period);
        const int consumed = period->Load(data, size);
        if (consumed < 0 || static_cast<size_t>(consumed) > size)
            std::abort();
        if (consumed == 0 && StoredForm(*period) != before)
            std::abort();
    }

    const std::unique_ptr<CPeriod> made(CPeriod::CreateFromStore(data, size));
    if (!made)
        return 0;
    const int consumed = made->Load(data, size);
    if (consumed <= 0 || static_cast<size_t>(consumed) > size)
        std::abort(); // the factory promised a whole form
    CheckRoundTrip(*made, data, static_cast<size_t>(consumed));
    Exercise(*made, data, size);
    return 0;
}
