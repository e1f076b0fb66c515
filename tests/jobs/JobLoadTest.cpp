// Round trips of the job's stored form, and records that must be refused.
#include "AtStartup.h"
#include "Daily.h"
#include "Hourly.h"
#include "Job.h"
#include "Monthly.h"
#include "Once.h"
#include "Weekly.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::unique_ptr<CPeriod>> OneOfEachKind() {
    std::vector<std::unique_ptr<CPeriod>> kinds;
    auto once = std::make_unique<COnce>();
    const SYSTEMTIME st = {2027, 3, 2, 15, 6, 45, 0, 0};
    once->Set(true, &st);
    kinds.push_back(std::move(once));
    auto hourly = std::make_unique<CHourly>();
    hourly->SetMinute(true, 15);
    hourly->SetIdle(true, 30);
    kinds.push_back(std::move(hourly));
    auto daily = std::make_unique<CDaily>();
    int hour = 22, minute = 5, off = 0;
    daily->Set(true, &hour, &minute, nullptr, nullptr, &off, nullptr, nullptr, &off, nullptr);
    kinds.push_back(std::move(daily));
    auto weekly = std::make_unique<CWeekly>();
    weekly->Set(true, 7, 30, 3);
    kinds.push_back(std::move(weekly));
    auto monthly = std::make_unique<CMonthly>();
    monthly->Set(true, 0, 0, 31);
    monthly->SetIdle(true, 5);
    kinds.push_back(std::move(monthly));
    kinds.push_back(std::make_unique<CAtStartup>());
    return kinds;
}

// A job with every stored field away from its default.
std::unique_ptr<CJob> SampleJob(const CPeriod& period) {
    auto job = std::make_unique<CJob>();
    job->SetName("Skanowanie dysku – źdźbło");
    job->SetPeriod(period, COleDateTime(2026, 5, 20, 17, 42, 10));
    job->SetLastStart(COleDateTime(2026, 6, 1, 8, 0, 0), true);
    job->SetActive(false);
    CScanParameter& params = job->GetScanParameter();
    params.m_strDirectory = "/srv/dane/wspólne";
    params.m_nInfectionAction = 3;
    params.m_nWindowMode = 1;
    params.m_nEndMode = 2;
    params.m_bHeuristic = false;
    return job;
}

void ExpectSameStoredFields(const CJob& a, const CJob& b) {
    EXPECT_STREQ(a.GetName(), b.GetName());
    EXPECT_EQ(a.IsActive(), b.IsActive());
    EXPECT_EQ(a.HasLastStart(), b.HasLastStart());
    EXPECT_EQ(a.GetLastStart(), b.GetLastStart());
    EXPECT_EQ(a.GetPeriod()->GetKind(), b.GetPeriod()->GetKind());
    EXPECT_TRUE(a.GetPeriod()->IsEqual(*b.GetPeriod()));
    EXPECT_EQ(a.GetScanParameter(), b.GetScanParameter());
    EXPECT_EQ(a.Store(), b.Store());
}

void PutU32At(std::vector<BYTE>& bytes, size_t at, DWORD v) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<BYTE>(v >> (8 * i));
}

} // namespace

TEST(JobLoad, EveryScheduleKindSurvivesARoundTrip) {
    for (const auto& period : OneOfEachKind()) {
        SCOPED_TRACE(CPeriod::GetClassName(period->GetKind()));
        const std::unique_ptr<CJob> job = SampleJob(*period);
        const std::vector<BYTE> bytes = job->Store();
        ASSERT_EQ(static_cast<int>(bytes.size()), job->GetStoreSize());

        CJob loaded;
        ASSERT_TRUE(loaded.Load(bytes.data(), bytes.size()));
        ExpectSameStoredFields(loaded, *job);
    }
}

TEST(JobLoad, NamesAndDirectoriesOfAnyLength) {
    const std::string longName(259, 'N');
    const std::string longDir = "/" + std::string(4000, 'd');
    for (const std::string& name : {std::string(), longName, std::string("Zażółć gęślą jaźń")}) {
        for (const std::string& dir : {std::string(), longDir, std::string("/home/łukasz")}) {
            CJob job;
            job.SetName(name.c_str());
            job.GetScanParameter().m_strDirectory = dir;
            const std::vector<BYTE> bytes = job.Store();
            EXPECT_EQ(bytes.size(), name.size() + 23 + 33 + dir.size() + 35);

            CJob loaded;
            loaded.SetName("old");
            ASSERT_TRUE(loaded.Load(bytes.data(), bytes.size()));
            EXPECT_EQ(loaded.GetName(), name);
            EXPECT_EQ(loaded.GetDirectory(), dir);
            EXPECT_EQ(loaded.Store(), bytes);
        }
    }
}

TEST(JobLoad, EveryFlagCombinationSurvives) {
    CDaily daily;
    int hour = 6, minute = 0;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    for (int bits = 0; bits < 16; ++bits) {
        CJob job;
        job.SetPeriod(daily, COleDateTime(2026, 12, 7, 13, 20, 0));
        job.SetActive(bits & 1);
        job.SetLastStart(job.GetLastStart(), bits & 2);
        job.GetScanParameter().m_bHeuristic = bits & 4;
        job.GetScanParameter().m_bSubdirectories = bits & 8;

        CJob loaded;
        ASSERT_TRUE(loaded.Load(job.Store().data(), job.GetStoreSize())) << bits;
        EXPECT_EQ(loaded.IsActive(), (bits & 1) != 0) << bits;
        EXPECT_EQ(loaded.HasLastStart(), (bits & 2) != 0) << bits;
        EXPECT_EQ(loaded.GetScanParameter().m_bHeuristic, (bits & 4) != 0) << bits;
        EXPECT_EQ(loaded.GetScanParameter().m_bSubdirectories, (bits & 8) != 0) << bits;
    }
}

TEST(JobLoad, ForeignFlagBytesReadAsTrueAndStoreAsOne) {
    const std::unique_ptr<CJob> job = SampleJob(CAtStartup());
    std::vector<BYTE> bytes = job->Store();
    const size_t nameEnd = 4 + std::strlen(job->GetName()) + 1;
    bytes[nameEnd] = 0x80;      // active
    bytes[nameEnd + 17] = 0x02; // has started
    CJob loaded;
    ASSERT_TRUE(loaded.Load(bytes.data(), bytes.size()));
    EXPECT_TRUE(loaded.IsActive());
    EXPECT_TRUE(loaded.HasLastStart());
    const std::vector<BYTE> again = loaded.Store();
    EXPECT_EQ(again[nameEnd], 1);
    EXPECT_EQ(again[nameEnd + 17], 1);
}

TEST(JobLoad, KeepsRowIndexAndRunTimeFields) {
    const std::unique_ptr<CJob> job = SampleJob(CAtStartup());
    CJob target;
    target.SetRowIndex(7);
    target.m_strScanner = "/opt/vex/vexscan";
    target.m_nBusyPercent = 50;
    target.m_bRunning = true;
    ASSERT_TRUE(target.Load(job->Store().data(), job->GetStoreSize()));
    EXPECT_EQ(target.GetRowIndex(), 7);
    EXPECT_EQ(target.m_strScanner, "/opt/vex/vexscan");
    EXPECT_EQ(target.m_nBusyPercent, 50);
    EXPECT_TRUE(target.m_bRunning);
}

TEST(JobLoad, BytesAfterTheRecordAreIgnored) {
    const std::unique_ptr<CJob> job = SampleJob(CAtStartup());
    std::vector<BYTE> bytes = job->Store();
    const std::vector<BYTE> exact = bytes;
    bytes.insert(bytes.end(), 100, 0xee);
    CJob loaded;
    ASSERT_TRUE(loaded.Load(bytes.data(), bytes.size()));
    EXPECT_EQ(loaded.Store(), exact);
}

TEST(JobLoad, EveryTruncationIsRejectedAndChangesNothing) {
    for (const auto& period : OneOfEachKind()) {
        const std::vector<BYTE> bytes = SampleJob(*period)->Store();
        CJob target;
        target.SetName("unchanged");
        target.SetRowIndex(3);
        const std::vector<BYTE> before = target.Store();
        for (size_t n = 0; n < bytes.size(); ++n) {
            ASSERT_FALSE(target.Load(bytes.data(), n)) << n;
            ASSERT_EQ(target.Store(), before) << n;
        }
        EXPECT_EQ(target.GetRowIndex(), 3);
    }
    CJob target;
    EXPECT_FALSE(target.Load(nullptr, 98));
}

TEST(JobLoad, HostileRecordsAreRejectedAndChangeNothing) {
    // Name "Job", then the fixed fields from offset 8, the schedule's class
    // name length at offset 26, its text from 30.
    const std::unique_ptr<CJob> source = SampleJob(CDaily());
    source->SetName("Job");
    const std::vector<BYTE> good = source->Store();
    ASSERT_EQ(good[30], 'c');

    std::vector<std::vector<BYTE>> hostile;
    for (DWORD n : {0xffffffffu, 0x80000000u, 0x7fffffffu, 1000u}) {
        std::vector<BYTE> b = good; // name length far past the end
        PutU32At(b, 0, n);
        hostile.push_back(b);
        b = good; // class name length past the end
        PutU32At(b, 26, n);
        hostile.push_back(b);
    }
    {
        std::vector<BYTE> b = good; // unknown class name of the same length
        std::memcpy(&b[30], "class CYearly", 13);
        hostile.push_back(b);
        b = good; // class name without its zero
        b[42] = 'X';
        hostile.push_back(b);
        b = good; // class name length cutting the name: "class CDail"
        PutU32At(b, 26, 12 - 1);
        hostile.push_back(b);
        b = good; // directory length past the end
        PutU32At(b, good.size() - source->GetScanParameter().GetStoreSize(), 0xfffffff0u);
        hostile.push_back(b);
        b = good; // directory length one past the end
        PutU32At(b, good.size() - source->GetScanParameter().GetStoreSize(),
                 source->GetScanParameter().m_strDirectory.size() + 1 + 31);
        hostile.push_back(b);
    }
    {
        // A 20-byte record that claims a 4 GB name allocates nothing.
        std::vector<BYTE> b(20, 0);
        PutU32At(b, 0, 0xfffffffeu);
        hostile.push_back(b);
    }

    CJob target;
    target.SetName("unchanged");
    const std::vector<BYTE> before = target.Store();
    for (size_t i = 0; i < hostile.size(); ++i) {
        EXPECT_FALSE(target.Load(hostile[i].data(), hostile[i].size())) << i;
        EXPECT_EQ(target.Store(), before) << i;
    }
    // The untouched record still loads.
    EXPECT_TRUE(target.Load(good.data(), good.size()));
}
