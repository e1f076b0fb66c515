#include "Samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::vector<BYTE> Concat(std::initializer_list<std::vector<BYTE>> parts) {
    std::vector<BYTE> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::vector<BYTE> Text(const std::string& s) {
    // Sized once and filled in place: inserting into a short vector trips a
    // false -Warray-bounds in g++ 12 at -O2.
    std::vector<BYTE> out(4 + s.size() + 1, 0);
    out[0] = BYTE(s.size() + 1);
    std::copy(s.begin(), s.end(), out.begin() + 4);
    return out;
}

} // namespace

TEST(PeriodStore, SizesOfEveryKind) {
    const int sizes[] = {38, 27, 33, 31, 32, 26};
    for (PeriodKind kind : kAllKinds) {
        auto fresh = CPeriod::Create(kind);
        EXPECT_EQ(fresh->GetStoreSize(), sizes[kind]) << CPeriod::GetClassName(kind);
        EXPECT_EQ(StoredForm(*fresh).size(), size_t(sizes[kind]));
        EXPECT_EQ(StoredForm(*MakeSample(kind)).size(), size_t(sizes[kind]));
    }
}

TEST(PeriodStore, ExactBytes) {
    EXPECT_EQ(StoredForm(CAtStartup()), Concat({Text("class CAtStartup"), {0}, {1, 0, 0, 0}}));
    EXPECT_EQ(StoredForm(*MakeSample(PERIOD_ONCE)),
              Concat({Text("class COnce"),
                      {1},
                      {5, 0, 0, 0},
                      {0xCF, 0x07, 3, 0, 3, 0, 2, 0, 14, 0, 0, 0, 0, 0, 0, 0},
                      {1}}));
    EXPECT_EQ(
        StoredForm(*MakeSample(PERIOD_DAILY)),
        Concat(
            {Text("class CDaily"), {1}, {30, 0, 0, 0}, {0xE5, 0x01, 0, 0}, {1, 1, 1, 1, 1, 1, 0}}));
    EXPECT_EQ(StoredForm(CHourly()),
              Concat({Text("class CHourly"), {0}, {1, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF}}));
    EXPECT_EQ(
        StoredForm(*MakeSample(PERIOD_MONTHLY)),
        Concat({Text("class CMonthly"), {0}, {7, 0, 0, 0}, {0xFE, 0x01, 0, 0}, {31, 0, 0, 0}}));
}

TEST(PeriodStore, EveryKindRoundTrips) {
    for (PeriodKind kind : kAllKinds) {
        const auto sample = MakeSample(kind);
        const std::vector<BYTE> bytes = StoredForm(*sample);
        std::unique_ptr<CPeriod> made(CPeriod::CreateFromStore(bytes.data(), bytes.size()));
        ASSERT_NE(made, nullptr) << CPeriod::GetClassName(kind);
        EXPECT_EQ(made->GetKind(), kind);
        EXPECT_TRUE(made->IsEqual(*CPeriod::Create(kind))) << "the factory reads no fields";
        EXPECT_EQ(made->Load(bytes.data(), bytes.size()), int(bytes.size()));
        EXPECT_TRUE(made->IsEqual(*sample));
        EXPECT_EQ(StoredForm(*made), bytes);
    }
}

TEST(PeriodStore, EveryTruncationIsRejectedAndChangesNothing) {
    for (PeriodKind kind : kAllKinds) {
        const std::vector<BYTE> bytes = StoredForm(*MakeSample(kind));
        for (size_t n = 0; n < bytes.size(); ++n) {
            EXPECT_EQ(CPeriod::CreateFromStore(bytes.data(), n), nullptr) << kind << " " << n;
            auto target = CPeriod::Create(kind);
            target->SetIdle(false, 99);
            const std::vector<BYTE> before = StoredForm(*target);
            EXPECT_EQ(target->Load(bytes.data(), n), 0) << kind << " " << n;
            EXPECT_EQ(StoredForm(*target), before) << "half-loaded " << kind << " " << n;
        }
    }
}

TEST(PeriodStore, ForeignNamesAreRejected) {
    auto form = Concat({Text("class CYearly"), {0}, {1, 0, 0, 0}, std::vector<BYTE>(16)});
    EXPECT_EQ(CPeriod::CreateFromStore(form.data(), form.size()), nullptr);
    form = Concat({Text("class conce"), {0}, {1, 0, 0, 0}, std::vector<BYTE>(17)});
    EXPECT_EQ(CPeriod::CreateFromStore(form.data(), form.size()), nullptr);

    // A length far beyond the data is refused before anything is read.
    const BYTE huge[] = {0xF0, 0xFF, 0xFF, 0xFF, 'c', 'l', 'a', 's', 's'};
    EXPECT_EQ(CPeriod::CreateFromStore(huge, sizeof huge), nullptr);
    EXPECT_EQ(CPeriod::CreateFromStore(nullptr, 0), nullptr);

    // Load does not take another class's form.
    const std::vector<BYTE> daily = StoredForm(*MakeSample(PERIOD_DAILY));
    CWeekly weekly;
    weekly.Set(true, 1, 2, 3);
    EXPECT_EQ(weekly.Load(daily.data(), daily.size()), 0);
    int hour = 0;
    weekly.Get(&hour, nullptr, nullptr);
    EXPECT_EQ(hour, 1);
}

TEST(PeriodStore, ToleratedVariants) {
    // Bytes after the name's zero belong to the name; flags read as true when not 0.
    std::vector<BYTE> form = Concat({{20, 0, 0, 0},
                                     {'c', 'l', 'a', 's', 's', ' ', 'C', 'H', 'o', 'u',
                                      'r', 'l', 'y', 0,   'x', 'x', 'x', 'x', 'x', 'x'},
                                     {7},
                                     {2, 0, 0, 0},
                                     {9, 0, 0, 0},
                                     {0xAA}});
    int consumed = 0;
    auto hourly = CPeriod::LoadFromStore(form.data(), form.size(), &consumed);
    ASSERT_NE(hourly, nullptr);
    EXPECT_EQ(consumed, 33); // the caller's data continues after the schedule
    EXPECT_TRUE(hourly->GetIdle());
    EXPECT_EQ(static_cast<CHourly&>(*hourly).GetMinute(), 9);
    EXPECT_EQ(StoredForm(*hourly),
              Concat({Text("class CHourly"), {1}, {2, 0, 0, 0}, {9, 0, 0, 0}}));
}

// The fuzz target's seeds are the stored forms of the samples. Setting
// VEX_WRITE_CORPUS=1 rewrites them.
TEST(PeriodStore, SeedCorpusHoldsOneFormOfEachKind) {
    for (PeriodKind kind : kAllKinds) {
        const std::vector<BYTE> bytes = StoredForm(*MakeSample(kind));
        const std::string path =
            std::string(SCHEDULE_CORPUS_DIR) + "/" + (CPeriod::GetClassName(kind) + 6) + ".bin";
        if (std::getenv("VEX_WRITE_CORPUS") != nullptr)
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        std::ifstream in(path, std::ios::binary);
        const std::vector<BYTE> seed((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
        EXPECT_EQ(seed, bytes) << path;
    }
}
