// Names on one line: what EscapePath writes reads back to the same bytes, and
// never holds anything that breaks a line.
#include "LineText.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

// True when text is UTF-8 without control characters and separators.
bool IsOneLine(const std::string& text) {
    const QString s = QString::fromStdString(text);
    if (s.toStdString() != text)
        return false;
    for (QChar c : s)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return false;
    return true;
}

TEST(LineTextTest, EscapedPathsStayOnOneLineAndReadBack) {
    EXPECT_EQ(EscapePath("/a\\b\nc\rd\te\x7f"
                         "f\xe2\x80\xa8g\xe2\x80\xa9h\xc2\x85i\xffj\xc3"),
              "/a\\\\b\\nc\\rd\\x09e\\x7ff\\u2028g\\u2029h\\u0085i\\xffj\\xc3");
    EXPECT_EQ(EscapePath("/zażółć/日本/😀"), "/zażółć/日本/😀");

    std::vector<std::string> paths = {"/\xe2\x80", "/\xed\xa0\x80", "/\xc0\xaf", "/\\x41",
                                      "/\\u2028"};
    for (int b = 1; b < 256; ++b)
        paths.push_back("/p" + std::string(1, static_cast<char>(b)) + "q");
    for (const std::string& path : paths) {
        const std::string escaped = EscapePath(path);
        EXPECT_TRUE(IsOneLine(escaped)) << escaped;
        std::string back;
        EXPECT_TRUE(UnescapePath(escaped, back)) << escaped;
        EXPECT_EQ(back, path);
    }
}

TEST(LineTextTest, OlderEscapesReadBackAndBrokenOnesAreRefused) {
    std::string path;
    // Older lists escaped only backslash, LF and CR and kept other bytes.
    ASSERT_TRUE(UnescapePath("/a\\\\b\\nc\td\xe2\x80\xa8", path));
    EXPECT_EQ(path, "/a\\b\nc\td\xe2\x80\xa8");
    for (const char* bad : {"/a\nb", "/a\\", "/a\\q", "/a\\x4", "/a\\x00", "/a\\xg1", "/a\\u202",
                            "/a\\ud800", "/a\\u0000"})
        EXPECT_FALSE(UnescapePath(bad, path)) << bad;
}

TEST(LineTextTest, ControlsAreEscapedInTextThatWasEscapedBefore) {
    const std::string once = "/x\\\\y\\n: ok";
    EXPECT_EQ(EscapeControls(once), once);
    EXPECT_EQ(EscapeControls("a\\b\nc\td\xe2\x80\xa8", "\n\t"), "a\\b\nc\td\\u2028");
    EXPECT_EQ(IncompleteUtf8Tail("ab\xe2\x80"), 2u);
    EXPECT_EQ(IncompleteUtf8Tail("ab\xe2\x80\xa8"), 0u);
    EXPECT_EQ(IncompleteUtf8Tail("ab\xf0"), 1u);
}

} // namespace
