#include "TestString.h"

#include <gtest/gtest.h>

TEST(TestString, IsTheSixtyEightByteStandardString) {
    const std::string& s = TestString();
    ASSERT_EQ(s.size(), 68u);
    EXPECT_EQ(s.substr(0, 3), "X5O");
    EXPECT_EQ(s.substr(65), "+H*");
    EXPECT_NE(s.find("STANDARD-ANTIVIRUS-TEST-FILE"), std::string::npos);
}

TEST(TestString, StandardFileAllowsOnlyTrailingPaddingWithin128Bytes) {
    const std::string& s = TestString();
    EXPECT_TRUE(IsStandardTestFile(s));
    EXPECT_TRUE(IsStandardTestFile(s + "\r\n"));
    EXPECT_TRUE(IsStandardTestFile(s + std::string(60, ' ')));
    EXPECT_FALSE(IsStandardTestFile(s + std::string(61, ' '))); // 129 bytes
    EXPECT_FALSE(IsStandardTestFile(" " + s));
    EXPECT_FALSE(IsStandardTestFile(s + "x"));
    EXPECT_FALSE(IsStandardTestFile(s.substr(0, 67)));
    EXPECT_FALSE(IsStandardTestFile(""));
}

TEST(TestString, FinderSeesTheStringAcrossEveryPieceBoundary) {
    const std::string stream = std::string(100, 'a') + TestString() + "tail";
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        CTestStringFinder finder;
        finder.Feed(stream.data(), cut);
        finder.Feed(stream.data() + cut, stream.size() - cut);
        ASSERT_TRUE(finder.Found()) << "cut at " << cut;
        EXPECT_EQ(finder.FirstOffset(), 100u) << "cut at " << cut;
    }
    // Byte by byte, the slowest way in.
    CTestStringFinder finder;
    for (char c : stream)
        finder.Feed(&c, 1);
    EXPECT_TRUE(finder.Found());
    EXPECT_EQ(finder.FirstOffset(), 100u);
}

TEST(TestString, FinderIgnoresNearMisses) {
    std::string almost = TestString();
    almost[40] ^= 1;
    CTestStringFinder finder;
    finder.Feed(almost.data(), almost.size());
    finder.Feed(TestString().data(), 67);
    EXPECT_FALSE(finder.Found());
}
