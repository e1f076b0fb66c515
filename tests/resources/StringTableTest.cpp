#include "StringTable.h"
#include "Strings.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(StringTable, EntriesAreSortedAndUnique) {
    for (unsigned i = 1; i < kStringCount; ++i)
        EXPECT_LT(kStrings[i - 1].id, kStrings[i].id) << "entry " << kStrings[i].id;
}

TEST(StringTable, LoadsPolishTextAndReportsMissingEntries) {
    char buf[64];
    EXPECT_EQ(LoadStringA(GetResourceHandle(), 156, buf, sizeof buf),
              static_cast<int>(std::strlen("wyłączony")));
    EXPECT_STREQ(buf, "wyłączony");

    EXPECT_EQ(LoadStringA(GetResourceHandle(), 1, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(LoadStringA(nullptr, 156, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_STREQ(LoadResString(1), "");
}

TEST(StringTable, CutNeverSplitsACharacter) {
    // "wyłączony": 'ł' occupies bytes 2..3, so a 4-byte buffer holds "wy" only.
    char buf[4];
    EXPECT_EQ(LoadStringA(GetResourceHandle(), 156, buf, sizeof buf), 2);
    EXPECT_STREQ(buf, "wy");
    char one[1];
    EXPECT_EQ(LoadStringA(GetResourceHandle(), 156, one, sizeof one), 0);
    EXPECT_STREQ(one, "");
}
