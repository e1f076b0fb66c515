#include "CommandFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

bool Parse(const std::string& text, CScanCommand& cmd, std::string& error) {
    return ParseCommandFile(text.data(), text.size(), cmd, error);
}

} // namespace

TEST(CommandFile, ReadsDefaultOptionsWithEitherLineEnd) {
    for (const char* text : {"11110011\r\nTest\r\n/home/u\r\n", "11110011\nTest\n/home/u\n",
                             "11110011\r\nTest\r\n/home/u"}) {
        CScanCommand cmd;
        cmd.m_nLogMode = 2;
        std::string error;
        ASSERT_TRUE(Parse(text, cmd, error)) << error;
        EXPECT_EQ(cmd.m_nEndMode, 1);
        EXPECT_TRUE(cmd.m_bHeuristic);
        EXPECT_EQ(cmd.m_nFileSelection, 1);
        EXPECT_TRUE(cmd.m_bSubdirectories);
        EXPECT_EQ(cmd.m_nInfectionAction, 0);
        EXPECT_EQ(cmd.m_nReferenceDiffAction, 0);
        EXPECT_EQ(cmd.m_nLogMode, 1);
        EXPECT_TRUE(cmd.m_bReferenceCheck);
        EXPECT_EQ(cmd.m_strJobName, "Test");
        EXPECT_EQ(cmd.m_strDirectory, "/home/u");
    }
}

TEST(CommandFile, DigitsMapToTheirOptionsByPosition) {
    CScanCommand cmd;
    std::string error;
    ASSERT_TRUE(Parse("20004100\r\nNocny skan ąę\r\n/srv/data dir\r\n", cmd, error)) << error;
    EXPECT_EQ(cmd.m_nEndMode, 2);
    EXPECT_FALSE(cmd.m_bHeuristic);
    EXPECT_EQ(cmd.m_nFileSelection, 0);
    EXPECT_FALSE(cmd.m_bSubdirectories);
    EXPECT_EQ(cmd.m_nInfectionAction, 4);
    EXPECT_EQ(cmd.m_nReferenceDiffAction, 1);
    EXPECT_EQ(cmd.m_nLogMode, 0);
    EXPECT_FALSE(cmd.m_bReferenceCheck);
    EXPECT_EQ(cmd.m_strJobName, "Nocny skan ąę");
    EXPECT_EQ(cmd.m_strDirectory, "/srv/data dir");
}

TEST(CommandFile, DamagedFilesAreRejectedAndLeaveTheCommandAlone) {
    const std::string tooLong = "11110011\nT\n/" + std::string(kMaxCommandFileSize, 'a') + "\n";
    const std::string longName = "11110011\n" + std::string(260, 'n') + "\n/\n";
    for (const std::string& text :
         {std::string(), std::string("11110011\r\nTest\r\n"), std::string("1111001\nT\n/\n"),
          std::string("111100111\nT\n/\n"), std::string("1111x011\nT\n/\n"),
          std::string("31110011\nT\n/\n"), std::string("11115011\nT\n/\n"),
          std::string("11110311\nT\n/\n"), std::string("11110031\nT\n/\n"),
          std::string("11110012\nT\n/\n"), std::string("11110011\nT\nrelative/dir\n"),
          std::string("11110011\nT\n\n"), std::string("11110011\nT\n/\nextra\n"),
          std::string("11110011\nT\n/\n\n"), std::string("11110011\nT\r\r\n/\n"),
          std::string("11110011\nT\n/a\0b\n", 15), tooLong, longName}) {
        CScanCommand cmd;
        cmd.m_strJobName = "unchanged";
        std::string error;
        EXPECT_FALSE(Parse(text, cmd, error)) << "accepted: " << text.substr(0, 40);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(cmd.m_strJobName, "unchanged");
    }
}

TEST(CommandFile, ReaderRefusesLinksAndNonFiles) {
    char dir[] = "/tmp/vexcmdtestXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/cmd";
    const std::string link = std::string(dir) + "/link";
    std::ofstream(file) << "11110011\r\nTest\r\n/\r\n";
    std::filesystem::create_symlink(file, link);

    CScanCommand cmd;
    std::string error;
    EXPECT_TRUE(ReadCommandFile(file, cmd, error)) << error;
    EXPECT_FALSE(ReadCommandFile(link, cmd, error));
    EXPECT_FALSE(ReadCommandFile(dir, cmd, error));
    EXPECT_FALSE(ReadCommandFile(std::string(dir) + "/missing", cmd, error));
    std::filesystem::remove_all(dir);
}
