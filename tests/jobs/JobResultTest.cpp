// Each job's last result: its stored form, its texts and order, and how it
// lives in the job store beside the jobs.
#include "JobResult.h"
#include "Daily.h"
#include "Job.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "RegInterface.h"
#include "ScanPaths.h"
#include "TempStateRoot.h"

#include "ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <utility>

namespace {

CJobResult Sample() {
    CJobResult r;
    r.m_nFinished = 1796768405; // 2026-12-08 22:20:05 UTC
    r.m_nExitCode = 1;
    r.m_nFiles = 5000000000ull; // more than 32 bits hold
    r.m_nInfected = 2;
    r.m_nChanged = 3;
    r.m_nErrors = 4;
    r.m_nSkipped = 6000000000ull;
    r.m_nSuspicious = 7;
    r.m_nSignal = 15;
    r.m_bStopped = true;
    return r;
}

} // namespace

TEST(JobResultTest, StoredFormRoundTripsAndRefusesDamage) {
    const CJobResult r = Sample();
    std::vector<BYTE> bytes = r.Store();
    // 48 bytes of version 1, why a run did not scan, skipped and suspicious
    // files, the signal that ended the scan, the signatures' state and age,
    // the latest clean scan, unchecked files, an empty reason.
    ASSERT_EQ(bytes.size(), 87u);
    EXPECT_EQ(bytes[0], 1);    // version
    EXPECT_EQ(bytes[1], 0x02); // stopped
    CJobResult loaded;
    ASSERT_TRUE(loaded.Load(bytes.data(), bytes.size()));
    EXPECT_EQ(loaded, r);

    // Fields a later writer appends are passed over.
    std::vector<BYTE> longer = bytes;
    longer.insert(longer.end(), {9, 9, 9});
    CJobResult fromLonger;
    ASSERT_TRUE(fromLonger.Load(longer.data(), longer.size()));
    EXPECT_EQ(fromLonger, r);

    // Every cut, another version, unknown flags, an exit code out of range and
    // a "not started" that has counts are refused, and leave the result alone.
    const CJobResult before = CJobResult::NotStarted(7);
    auto refused = [&](const std::vector<BYTE>& data, size_t n) {
        CJobResult target = before;
        const bool ok = target.Load(data.data(), n);
        return !ok && target == before;
    };
    for (size_t n = 0; n < 48; ++n)
        EXPECT_TRUE(refused(bytes, n)) << n;
    EXPECT_TRUE(refused({}, 0));
    auto changed = [&](size_t at, BYTE value) {
        std::vector<BYTE> copy = bytes;
        copy[at] = value;
        return copy;
    };
    EXPECT_TRUE(refused(changed(0, 2), 48));
    EXPECT_TRUE(refused(changed(1, 0x08), 48));
    EXPECT_TRUE(refused(changed(11, 1), 48));   // exit code 257
    EXPECT_TRUE(refused(changed(1, 0x03), 48)); // not started, yet an exit code and counts

    // A reason cut short, or more unchecked files than files, is damage.
    CJobResult failed = Sample();
    failed.m_strReason = "brak dostępu";
    std::vector<BYTE> withReason = failed.Store();
    EXPECT_TRUE(refused(withReason, withReason.size() - 1));
    failed.m_nUnchecked = failed.m_nFiles + 1;
    withReason = failed.Store();
    EXPECT_TRUE(refused(withReason, withReason.size()));
    CJobResult target;
    const std::vector<BYTE> notStarted = CJobResult::NotStarted(7).Store();
    ASSERT_TRUE(target.Load(notStarted.data(), notStarted.size()));
    EXPECT_EQ(target.m_nExitCode, -1);
    EXPECT_TRUE(target.m_bNotStarted);
}

// A run that did not scan says why in the list; a value without the reason
// (as the first writers stored it) or with one this reader does not know is
// "nie uruchomiono".
TEST(JobResultTest, RunsThatDidNotScanSayWhy) {
    using Why = CJobResult::ENotStarted;
    const std::pair<Why, const char*> cases[] = {
        {Why::ScannerMissing, "nie uruchomiono"},
        {Why::StillRunning, "pominięto: poprzednia analiza trwa"},
        {Why::Refused, "odrzucono: skaner nie przyjął ustawień"},
        {Why::Busy, "pominięto: procesor zajęty"},
        {Why::Cancelled, "anulowano"},
    };
    for (const auto& [why, text] : cases) {
        const std::vector<BYTE> bytes = CJobResult::NotStarted(7, why).Store();
        CJobResult loaded;
        ASSERT_TRUE(loaded.Load(bytes.data(), bytes.size()));
        EXPECT_EQ(loaded.m_eWhy, why);
        EXPECT_EQ(loaded.GetText(), text);
        EXPECT_EQ(loaded.GetState(), CJobResult::EState::NotStarted);
        CJobResult older;
        ASSERT_TRUE(older.Load(bytes.data(), 48));
        EXPECT_EQ(older.GetText(), "nie uruchomiono");
    }
    std::vector<BYTE> unknown = CJobResult::NotStarted(7, Why::Busy).Store();
    unknown[48] = 200;
    CJobResult loaded;
    ASSERT_TRUE(loaded.Load(unknown.data(), unknown.size()));
    EXPECT_EQ(loaded.m_eWhy, Why::ScannerMissing);
}

TEST(JobResultTest, TextsFollowTheScannersPrecedence) {
    CJobResult r;
    EXPECT_EQ(r.GetText(), "czysto");
    r.m_nErrors = 2;
    r.m_nExitCode = 2;
    EXPECT_EQ(r.GetText(), "błąd");
    r.m_bStopped = true;
    EXPECT_EQ(r.GetText(), "zatrzymano"); // stopped by the user: the errors are in the log
    r.m_nSignal = 15;
    EXPECT_EQ(r.GetText(), "przerwano (sygnał 15)");
    r.m_nChanged = 12;
    r.m_nExitCode = 1;
    EXPECT_EQ(r.GetText(), "zmiany: 12");
    r.m_nSuspicious = 1; // a heuristic alert weighs more than a change
    EXPECT_EQ(r.GetText(), "podejrzane: 1");
    r.m_nInfected = 3;
    EXPECT_EQ(r.GetText(), "infekcje: 3");
    r.m_bFailed = true;
    r.m_nExitCode = 2;
    EXPECT_EQ(r.GetText(), "błąd");
    EXPECT_EQ(CJobResult::NotStarted(0).GetText(), "nie uruchomiono");
}

TEST(JobResultTest, OrderIsSeverityThenTimeWithNoResultFirst) {
    auto at = [](CJobResult r, std::int64_t t) {
        r.m_nFinished = t;
        return r;
    };
    CJobResult clean;
    CJobResult stopped;
    stopped.m_bStopped = true;
    CJobResult changed;
    changed.m_nChanged = 1;
    CJobResult error;
    error.m_bFailed = true;
    CJobResult infected;
    infected.m_nInfected = 1;
    const CJobResult notStarted = CJobResult::NotStarted(0);
    const std::vector<CJobResult> ascending = {at(clean, 10),   at(clean, 20),  at(stopped, 5),
                                               at(changed, 5),  at(error, 5),   at(notStarted, 5),
                                               at(infected, 1), at(infected, 2)};
    EXPECT_TRUE(JobResultLess(nullptr, &ascending[0]));
    EXPECT_FALSE(JobResultLess(&ascending[0], nullptr));
    EXPECT_FALSE(JobResultLess(nullptr, nullptr));
    for (size_t i = 0; i + 1 < ascending.size(); ++i) {
        EXPECT_TRUE(JobResultLess(&ascending[i], &ascending[i + 1])) << i;
        EXPECT_FALSE(JobResultLess(&ascending[i + 1], &ascending[i])) << i;
    }
}

TEST(JobResultTest, FinishedTimeCarriesTheLocalOffsetOfThatMoment) {
    CScopedTimeZone zone("Europe/Warsaw");
    CJobResult r;
    r.m_nFinished = 1796768405; // 2026-12-08 22:20:05 UTC, winter time
    EXPECT_EQ(r.GetFinishedIso(), "2026-12-08T23:20:05+01:00");
    r.m_nFinished = 1783527600; // 2026-07-08 16:20:00 UTC, summer time
    EXPECT_EQ(r.GetFinishedIso(), "2026-07-08T18:20:00+02:00");
    CScopedTimeZone west("America/St_Johns");
    EXPECT_EQ(r.GetFinishedIso(), "2026-07-08T13:50:00-02:30");
}

class JobResultStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.IsValid());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_TRUE(m_store.Open(kJobKeyPath));
    }
    void Add(const char* name) {
        CJob job;
        job.SetName(name);
        ASSERT_TRUE(m_store.AddJob(job));
    }
    bool Has(const char* name) {
        CJobResult r;
        return ReadJobResult(name, r);
    }

    CTempStateRoot m_root;
    CRegInterface m_store;
};

TEST_F(JobResultStoreTest, WriteIsReadBackAndTellsTheWindows) {
    CNamedBroadcast windows(kClientEventName);
    windows.Wait(0);
    EXPECT_FALSE(Has("Dom")); // no results key yet
    ASSERT_TRUE(WriteJobResult("Dom", Sample()));
    EXPECT_TRUE(windows.Wait(0));
    CJobResult r;
    ASSERT_TRUE(ReadJobResult("DOM", r)); // names compare without case
    EXPECT_EQ(r, Sample());
    EXPECT_FALSE(WriteJobResult("", Sample()));

    // A damaged value is no result.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kResultKeyPath, &key), ERROR_SUCCESS);
    const BYTE junk[3] = {1, 2, 3};
    ASSERT_EQ(RegSetValueEx(key, "Dom", REG_BINARY, junk, sizeof junk), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_FALSE(Has("Dom"));
}

TEST_F(JobResultStoreTest, RenameMovesDeleteRemovesAndANewJobStartsWithout) {
    Add("Dom");
    Add("Praca");
    ASSERT_TRUE(WriteJobResult("Dom", Sample()));
    ASSERT_TRUE(WriteJobResult("Praca", CJobResult::NotStarted(100)));

    // The scanner's files of the job: log, its older part, reference list.
    const CScanPaths before = CScanPaths::ForJob(m_root.Path(), "Dom");
    const CScanPaths after = CScanPaths::ForJob(m_root.Path(), "Dom i ogród");
    ASSERT_TRUE(MakeDirectories(m_root.Path() + "/scanner/logs"));
    ASSERT_TRUE(MakeDirectories(m_root.Path() + "/scanner/references"));
    for (const std::string& path : {before.m_strLog, before.m_strLog + ".1", before.m_strReference})
        std::ofstream(path) << path << "\n";

    CJob job;
    ASSERT_TRUE(m_store.ReadJob("Dom", &job));
    job.SetName("Dom i ogród");
    ASSERT_TRUE(m_store.WriteJob(job, 3, "Dom"));
    for (const auto& [from, to] : {std::pair{before.m_strLog, after.m_strLog},
                                   std::pair{before.m_strLog + ".1", after.m_strLog + ".1"},
                                   std::pair{before.m_strReference, after.m_strReference}}) {
        EXPECT_FALSE(std::filesystem::exists(from)) << from;
        std::ifstream in(to);
        std::string line;
        EXPECT_TRUE(std::getline(in, line)) << to;
        EXPECT_EQ(line, from); // the same file, under the new name
    }
    EXPECT_FALSE(Has("Dom"));
    CJobResult r;
    ASSERT_TRUE(ReadJobResult("Dom i ogród", r));
    EXPECT_EQ(r, Sample());
    // Only the case changes: the result follows as well.
    job.SetName("DOM I OGRÓD");
    ASSERT_TRUE(m_store.WriteJob(job, 3, "Dom i ogród"));
    ASSERT_TRUE(ReadJobResult("DOM I OGRÓD", r));
    EXPECT_EQ(r, Sample());

    // The job record itself is the same bytes as without results.
    CJob reread;
    ASSERT_TRUE(m_store.ReadJob("Praca", &reread));
    CJob plain;
    plain.SetName("Praca");
    EXPECT_EQ(reread.Store(), plain.Store());

    ASSERT_TRUE(m_store.DeleteJob("Praca"));
    EXPECT_FALSE(Has("Praca"));
    // A result left behind under a free name (a scan that ended after its
    // job was deleted) does not pass to a new job of that name.
    ASSERT_TRUE(WriteJobResult("Praca", Sample()));
    Add("Praca");
    EXPECT_FALSE(Has("Praca"));
}
