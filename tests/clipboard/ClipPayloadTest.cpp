#include "ClipPayload.h"
#include "ByteReader.h"
#include "Job.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<BYTE> StoredJob(const char* name, const char* dir = "/home") {
    CJob job;
    job.SetName(name);
    job.GetScanParameter().m_strDirectory = dir;
    return job.Store();
}

std::vector<BYTE> Bytes(std::initializer_list<int> values) {
    std::vector<BYTE> out;
    for (int v : values)
        out.push_back(static_cast<BYTE>(v));
    return out;
}

std::vector<std::string> Names(const ClipJobs& clip) {
    std::vector<std::string> names;
    for (const auto& job : clip.jobs)
        names.emplace_back(job->GetName());
    return names;
}
} // namespace

TEST(ClipPayload, CountThenLengthPrefixedRecordsLittleEndian) {
    std::vector<BYTE> payload = EncodeClipPayload({Bytes({0xAA, 0xBB, 0xCC}), Bytes({0x11})});
    EXPECT_EQ(payload, Bytes({2, 0, 0, 0, 3, 0, 0, 0, 0xAA, 0xBB, 0xCC, 1, 0, 0, 0, 0x11}));
    EXPECT_EQ(EncodeClipPayload({}), Bytes({0, 0, 0, 0}));
}

TEST(ClipPayload, TwoJobsTakeFourPlusEachRecordWithItsLength) {
    std::vector<BYTE> a = StoredJob("Dyski");
    std::vector<BYTE> b = StoredJob("Poczta", "/var/mail");
    std::vector<BYTE> payload = EncodeClipPayload({a, b});
    ASSERT_EQ(payload.size(), 4 + (4 + a.size()) + (4 + b.size()));

    ClipJobs clip = ReadClipJobs(payload.data(), payload.size());
    EXPECT_TRUE(clip.bComplete);
    ASSERT_EQ(Names(clip), (std::vector<std::string>{"Dyski", "Poczta"}));
    EXPECT_STREQ(clip.jobs[1]->GetDirectory(), "/var/mail");
    // What was read stores to the very same bytes.
    EXPECT_EQ(clip.jobs[0]->Store(), a);
    EXPECT_EQ(clip.jobs[1]->Store(), b);
}

TEST(ClipPayload, CountOfZeroOrLessMeansNoJobs) {
    for (std::vector<BYTE> payload : {Bytes({0, 0, 0, 0}), Bytes({0xFF, 0xFF, 0xFF, 0xFF}),
                                      Bytes({0, 0, 0, 0x80, 5, 0, 0, 0})}) {
        ClipRecords split = SplitClipPayload(payload.data(), payload.size());
        EXPECT_TRUE(split.bComplete);
        EXPECT_TRUE(split.records.empty());
    }
}

TEST(ClipPayload, BytesAfterTheLastRecordAreIgnored) {
    // The block that carries a payload may be longer than the payload.
    std::vector<BYTE> payload = EncodeClipPayload({StoredJob("A")});
    payload.resize(payload.size() + 4096, 0xCD);
    ClipJobs clip = ReadClipJobs(payload.data(), payload.size());
    EXPECT_TRUE(clip.bComplete);
    EXPECT_EQ(Names(clip), std::vector<std::string>{"A"});
}

TEST(ClipPayload, ShortPayloadGivesTheJobsBeforeTheDamage) {
    std::vector<BYTE> full = EncodeClipPayload({StoredJob("A"), StoredJob("B"), StoredJob("C")});
    size_t twoRecords = 4 + 2 * (4 + StoredJob("A").size());
    // Cut inside the third record's length, inside its bytes, and one byte short.
    for (size_t cut : {twoRecords + 2, twoRecords + 4, twoRecords + 30, full.size() - 1}) {
        ClipJobs clip = ReadClipJobs(full.data(), cut);
        EXPECT_FALSE(clip.bComplete) << cut;
        EXPECT_EQ(Names(clip), (std::vector<std::string>{"A", "B"})) << cut;
    }
    // Not even a whole count.
    for (size_t cut : {0, 1, 3}) {
        ClipJobs clip = ReadClipJobs(full.data(), cut);
        EXPECT_FALSE(clip.bComplete);
        EXPECT_TRUE(clip.jobs.empty());
    }
    EXPECT_FALSE(ReadClipJobs(nullptr, 0).bComplete);
}

TEST(ClipPayload, RecordWhoseJobDoesNotFitItsLengthStopsTheReading) {
    std::vector<BYTE> a = StoredJob("A");
    std::vector<BYTE> b = StoredJob("B");
    std::vector<BYTE> c = StoredJob("C");
    // B's record claims fewer bytes than B's stored form needs; the rest of B
    // then looks like C's length. Nothing from B on may be taken.
    std::vector<BYTE> payload = EncodeClipPayload({a, b, c});
    size_t bLengthAt = 4 + 4 + a.size();
    BYTE* p = payload.data() + bLengthAt;
    PutU32(p, static_cast<DWORD>(b.size() - 10));
    ClipJobs clip = ReadClipJobs(payload.data(), payload.size());
    EXPECT_FALSE(clip.bComplete);
    EXPECT_EQ(Names(clip), std::vector<std::string>{"A"});

    // A record of the right length whose bytes hold no job.
    std::vector<BYTE> garbage(a.size(), 0xFF);
    std::vector<BYTE> bad = EncodeClipPayload({a, garbage, c});
    clip = ReadClipJobs(bad.data(), bad.size());
    EXPECT_FALSE(clip.bComplete);
    EXPECT_EQ(Names(clip), std::vector<std::string>{"A"});
}

TEST(ClipPayload, HugeCountOrLengthAllocatesNothing) {
    // Count 2^31 - 1 with one real record: one job and a failure flag, with
    // storage for the records that are really there only.
    std::vector<BYTE> payload = EncodeClipPayload({StoredJob("A")});
    BYTE* p = payload.data();
    PutI32(p, 0x7FFFFFFF);
    ClipRecords split = SplitClipPayload(payload.data(), payload.size());
    EXPECT_FALSE(split.bComplete);
    EXPECT_EQ(split.records.size(), 1u);
    EXPECT_LT(split.records.capacity(), 16u);

    std::vector<BYTE> huge = Bytes({1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3});
    split = SplitClipPayload(huge.data(), huge.size());
    EXPECT_FALSE(split.bComplete);
    EXPECT_TRUE(split.records.empty());
}

TEST(ClipPayload, SplitPointsIntoThePayloadWithoutCopying) {
    std::vector<BYTE> payload = EncodeClipPayload({Bytes({7, 8}), {}, Bytes({9})});
    ClipRecords split = SplitClipPayload(payload.data(), payload.size());
    ASSERT_TRUE(split.bComplete);
    ASSERT_EQ(split.records.size(), 3u);
    EXPECT_EQ(split.records[0].pData, payload.data() + 8);
    EXPECT_EQ(split.records[0].nSize, 2u);
    EXPECT_EQ(split.records[1].nSize, 0u);
    EXPECT_EQ(split.records[2].pData, payload.data() + 18);
    EXPECT_EQ(*split.records[2].pData, 9);
}
