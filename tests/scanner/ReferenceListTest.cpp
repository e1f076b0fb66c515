#include "ReferenceList.h"
#include "FileOps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {
const std::string kDigestA(64, 'a');
const std::string kDigestB = std::string(63, '0') + "f";
} // namespace

TEST(ReferenceList, PathsWithLineBreaksAndBackslashesRoundTrip) {
    CReferenceList list;
    list.Set("/plain/file", kDigestA);
    list.Set("/odd\\name\nwith\rbreaks", kDigestB);
    list.Set("/zażółć gęślą", kDigestA);
    std::string text = list.Serialize();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);

    CReferenceList back;
    std::string error;
    ASSERT_TRUE(back.Parse(text.data(), text.size(), error)) << error;
    EXPECT_TRUE(back == list);
    ASSERT_NE(back.Find("/odd\\name\nwith\rbreaks"), nullptr);
    EXPECT_EQ(*back.Find("/odd\\name\nwith\rbreaks"), kDigestB);
}

TEST(ReferenceList, DamagedTextIsRejectedWhole) {
    const std::string good = kDigestA + "  /a\n";
    for (const std::string& bad :
         {good + kDigestA + "  /b", good + kDigestA.substr(1) + "  /b\n",
          good + std::string(64, 'G') + "  /b\n", good + kDigestA + " /b\n",
          good + kDigestA + "  \n", good + kDigestA + "  /b\\x\n", good + kDigestA + "  /b\\\n",
          good + "\n"}) {
        CReferenceList list;
        list.Set("/kept", kDigestA);
        std::string error;
        EXPECT_FALSE(list.Parse(bad.data(), bad.size(), error)) << bad;
        EXPECT_EQ(list.Size(), 0u);
    }
}

TEST(ReferenceList, LoadAndSaveThroughTheFileSystem) {
    char dir[] = "/tmp/vexreftestXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/list";
    CReferenceList list;
    bool exists = true;
    std::string error;
    ASSERT_TRUE(list.Load(path, exists, error));
    EXPECT_FALSE(exists);

    list.Set("/x", kDigestA);
    ASSERT_TRUE(list.Save(path, error)) << error;
    CReferenceList back;
    ASSERT_TRUE(back.Load(path, exists, error)) << error;
    EXPECT_TRUE(exists);
    EXPECT_TRUE(back == list);
    // Nothing but the list is left behind by the atomic write.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);

    std::ofstream(path, std::ios::app) << "garbage\n";
    EXPECT_FALSE(back.Load(path, exists, error));
    EXPECT_NE(error.find("uszkodzona"), std::string::npos);
    std::filesystem::remove_all(dir);
}
