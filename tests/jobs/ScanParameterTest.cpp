#include "ScanParameter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The default options with the directory "C:\", as the server's own records
// carry them.
const std::vector<BYTE> kDefaultBytes = {0x04, 0x00, 0x00, 0x00, 0x43, 0x3a, 0x5c, 0x00, 0x01, 0x01,
                                         0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
                                         0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00};

std::vector<BYTE> StoreOf(const CScanParameter& params) {
    std::vector<BYTE> bytes(params.GetStoreSize());
    EXPECT_EQ(params.Store(bytes.data()), static_cast<int>(bytes.size()));
    return bytes;
}

CScanParameter Unusual() {
    CScanParameter p;
    p.m_bHeuristic = false;
    p.m_nLogMode = 2;
    p.m_nReferenceCheck = 0;
    p.m_nReferenceDiffAction = 2;
    p.m_nInfectionAction = 4;
    p.m_nWindowMode = 1;
    p.m_nEndMode = 2;
    p.m_bSubdirectories = false;
    p.m_strDirectory = "/home/użytkownik/Dokumenty";
    p.m_nFileSelection = 0;
    return p;
}

} // namespace

TEST(ScanParameter, DefaultsScanTheRootWithRecommendedOptions) {
    CScanParameter p;
    EXPECT_STREQ(p.GetDirectory(), "/");
    EXPECT_TRUE(p.m_bHeuristic);
    EXPECT_TRUE(p.m_bSubdirectories);
    EXPECT_EQ(p.m_nLogMode, 1u);
    EXPECT_EQ(p.m_nReferenceCheck, 1u);
    EXPECT_EQ(p.m_nReferenceDiffAction, 0u);
    EXPECT_EQ(p.m_nInfectionAction, 0u);
    EXPECT_EQ(p.m_nWindowMode, 0u);
    EXPECT_EQ(p.m_nEndMode, 1u);
    EXPECT_EQ(p.m_nFileSelection, 1u);
    EXPECT_EQ(p.GetStoreSize(), 36);
}

TEST(ScanParameter, DefaultsStoreAsTheKnownBytesAndLoadBack) {
    CScanParameter p;
    p.m_strDirectory = "C:\\";
    EXPECT_EQ(StoreOf(p), kDefaultBytes);

    CScanParameter other = Unusual();
    EXPECT_EQ(other.Load(kDefaultBytes.data(), kDefaultBytes.size()), 38);
    EXPECT_EQ(other, p);
}

TEST(ScanParameter, EmptyDirectoryStoresAZeroByteOnly) {
    CScanParameter p;
    p.m_strDirectory.clear();
    const std::vector<BYTE> bytes = StoreOf(p);
    ASSERT_EQ(bytes.size(), 35u);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[4], 0);

    CScanParameter loaded;
    EXPECT_EQ(loaded.Load(bytes.data(), bytes.size()), 35);
    EXPECT_STREQ(loaded.GetDirectory(), "");
}

TEST(ScanParameter, RoundTripReproducesBytesAndFields) {
    const CScanParameter p = Unusual();
    const std::vector<BYTE> bytes = StoreOf(p);
    CScanParameter loaded;
    ASSERT_EQ(loaded.Load(bytes.data(), bytes.size()), static_cast<int>(bytes.size()));
    EXPECT_EQ(loaded, p);
    EXPECT_EQ(StoreOf(loaded), bytes);
}

TEST(ScanParameter, LoadReadsForeignValuesAsTheyAre) {
    std::vector<BYTE> bytes = kDefaultBytes;
    bytes[8] = 2;     // heuristic flag: any non-zero byte is true
    bytes[9] = 7;     // log mode out of the dialog's range is kept
    bytes[33] = 0xff; // subdirectory flag
    CScanParameter p;
    p.m_bHeuristic = false;
    p.m_bSubdirectories = false;
    ASSERT_EQ(p.Load(bytes.data(), bytes.size()), 38);
    EXPECT_TRUE(p.m_bHeuristic);
    EXPECT_TRUE(p.m_bSubdirectories);
    EXPECT_EQ(p.m_nLogMode, 7u);
    // Stored again, the flags are 0 or 1.
    EXPECT_EQ(StoreOf(p)[8], 1);
    EXPECT_EQ(StoreOf(p)[33], 1);
}

TEST(ScanParameter, DirectoryEndsAtFirstZeroOrFillsItsBytes) {
    std::vector<BYTE> bytes = kDefaultBytes;
    bytes[5] = 0; // "C\0\\\0": the text stops at the first zero
    CScanParameter p;
    ASSERT_EQ(p.Load(bytes.data(), bytes.size()), 38);
    EXPECT_STREQ(p.GetDirectory(), "C");

    bytes = kDefaultBytes;
    bytes[7] = 'x'; // no zero among the N bytes: all of them are the text
    ASSERT_EQ(p.Load(bytes.data(), bytes.size()), 38);
    EXPECT_EQ(p.m_strDirectory, "C:\\x");
}

TEST(ScanParameter, ShortOrInconsistentFormsChangeNothing) {
    const CScanParameter original = Unusual();
    for (size_t n = 0; n < kDefaultBytes.size(); ++n) {
        CScanParameter p = original;
        EXPECT_EQ(p.Load(kDefaultBytes.data(), n), 0) << n << " bytes";
        EXPECT_EQ(p, original) << n << " bytes";
    }

    // A directory length far beyond the bytes at hand.
    for (DWORD n : {39u, 0x7fffffffu, 0xffffffffu}) {
        std::vector<BYTE> bytes = kDefaultBytes;
        bytes[0] = static_cast<BYTE>(n);
        bytes[1] = static_cast<BYTE>(n >> 8);
        bytes[2] = static_cast<BYTE>(n >> 16);
        bytes[3] = static_cast<BYTE>(n >> 24);
        CScanParameter p = original;
        EXPECT_EQ(p.Load(bytes.data(), bytes.size()), 0) << n;
        EXPECT_EQ(p, original);
    }

    CScanParameter p = original;
    EXPECT_EQ(p.Load(nullptr, 100), 0);
    EXPECT_EQ(p, original);
}

TEST(ScanParameter, BytesAfterTheFormAreNotRead) {
    std::vector<BYTE> bytes = kDefaultBytes;
    bytes.insert(bytes.end(), {0xde, 0xad});
    CScanParameter p;
    EXPECT_EQ(p.Load(bytes.data(), bytes.size()), 38);
}
