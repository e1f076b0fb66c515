#include "TestSupport.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// What a user reads about the programs: --help and --version of the built
// programs, the manual pages built from their scdoc sources (English and
// Polish) and the AppStream description, checked with the desktop's own tools.

namespace {

const QString kSource = QStringLiteral(VEX_SOURCE_DIR);
const QString kManDir = QStringLiteral(VEX_MAN_DIR);

struct CProgram {
    const char* pszName;
    const char* pszPath;
};

const CProgram kPrograms[] = {
    {"vex-tempora", VEX_WINDOW_PROGRAM},
    {"vexserv", VEX_SERVER_PROGRAM},
    {"vexscan", VEX_SCANNER_PROGRAM},
    {"tempora", VEX_TEMPORA_PROGRAM},
};

struct COutcome {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs a program without a display; standard output and error apart.
COutcome RunProgram(const char* program, const std::string& args) {
    QTemporaryDir tmp;
    const std::string err = tmp.filePath("err").toStdString();
    COutcome outcome;
    // The parentheses keep standard error apart from what RunCommand merges.
    outcome.code = RunCommand(
        "(env -u DISPLAY -u WAYLAND_DISPLAY RAMPART_ROOT=" + ShellQuote(tmp.filePath("root")) +
            " " + ShellQuote(program) + " " + args + " 2>" + ShellQuote(tmp.filePath("err")) + ")",
        &outcome.out);
    outcome.err = ReadAll(QString::fromStdString(err)).toStdString();
    return outcome;
}

// The long options a text names ("--json", "--on-infection"), without those
// of other programs that the text shows ("systemctl --user").
QSet<QString> LongOptions(const QString& text) {
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--[a-z][a-z-]*[a-z]"));
    QSet<QString> options;
    for (const QRegularExpressionMatch& match : option.globalMatch(text))
        options.insert(match.captured());
    options.remove(QStringLiteral("--user"));
    return options;
}

// A manual page as man shows it, with its warnings (MANROFFSEQ empty: no
// preprocessors, as lintian runs it).
COutcome RenderPage(const QString& page) {
    COutcome outcome;
    std::string both;
    outcome.code =
        RunCommand("LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l " +
                       ShellQuote(page) + " 2>&1 >/dev/null",
                   &outcome.err);
    RunCommand("LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l " + ShellQuote(page) +
                   " 2>/dev/null | col -b",
               &outcome.out);
    return outcome;
}

QString PagePath(const QString& lang, const char* program) {
    return kManDir + (lang.isEmpty() ? "" : "/" + lang) + "/man1/" + program + ".1";
}

TEST(ProgramDocs, EveryProgramAnswersHelpAndVersionAndRefusesBadUsageWithTwo) {
    for (const CProgram& program : kPrograms) {
        SCOPED_TRACE(program.pszName);
        const COutcome version = RunProgram(program.pszPath, "--version");
        EXPECT_EQ(version.code, 0) << version.err;
        EXPECT_EQ(
            version.out.rfind(std::string(program.pszName) + " (Vex Tempora) " VEX_VERSION "\n", 0),
            0u)
            << version.out;
        EXPECT_NE(version.out.find("GPL"), std::string::npos);

        // The window's --help prints and exits without a display.
        const COutcome help = RunProgram(program.pszPath, "--help");
        EXPECT_EQ(help.code, 0) << help.err;
        EXPECT_NE(help.out.find("Użycie: " + std::string(program.pszName)), std::string::npos)
            << help.out;
        EXPECT_EQ(help.err, "");

        // The window judges its options before it needs a display.
        const COutcome bad = RunProgram(program.pszPath, "--no-such-option");
        EXPECT_EQ(bad.code, 2) << bad.out;
        EXPECT_NE(bad.err.find("Użycie: " + std::string(program.pszName)), std::string::npos)
            << bad.err;
        EXPECT_EQ(bad.out, "");
    }
    // The toolkit's own options pass; a missing job name is named as such.
    const COutcome noName = RunProgram(VEX_WINDOW_PROGRAM, "-style fusion --log");
    EXPECT_EQ(noName.code, 2);
    EXPECT_NE(noName.err.find("brak nazwy"), std::string::npos) << noName.err;
    const COutcome toolkit = RunProgram(VEX_WINDOW_PROGRAM, "-platform offscreen --bogus");
    EXPECT_EQ(toolkit.code, 2);
    EXPECT_NE(toolkit.err.find("nieznana opcja --bogus"), std::string::npos) << toolkit.err;
}

TEST(ProgramDocs, ManualPagesRenderWithoutWarningsInBothLanguages) {
    ASSERT_TRUE(HaveTool("man"));
    for (const QString& lang : {QString(), QStringLiteral("pl")}) {
        for (const CProgram& program : kPrograms) {
            const QString page = PagePath(lang, program.pszName);
            SCOPED_TRACE(page.toStdString());
            ASSERT_TRUE(QFile::exists(page));
            ASSERT_TRUE(QFile::exists(page + ".gz"));
            const COutcome rendered = RenderPage(page);
            EXPECT_EQ(rendered.code, 0);
            EXPECT_EQ(rendered.err, "");
            EXPECT_NE(rendered.out.find(lang.isEmpty() ? "NAME" : "NAZWA"), std::string::npos);
            EXPECT_NE(rendered.out.find(program.pszName), std::string::npos);
        }
    }
}

// The manual pages and --help name the same options, so neither can drift
// from the program without this test noticing.
TEST(ProgramDocs, ManualPagesNameExactlyTheOptionsOfTheHelp) {
    for (const CProgram& program : kPrograms) {
        SCOPED_TRACE(program.pszName);
        const QSet<QString> help =
            LongOptions(QString::fromStdString(RunProgram(program.pszPath, "--help").out));
        ASSERT_FALSE(help.isEmpty());
        for (const QString& lang : {QString(), QStringLiteral("pl")}) {
            const QSet<QString> page = LongOptions(
                QString::fromStdString(RenderPage(PagePath(lang, program.pszName)).out));
            for (const QString& option : help)
                EXPECT_TRUE(page.contains(option))
                    << lang.toStdString() << " page lacks " << option.toStdString();
            for (const QString& option : page)
                EXPECT_TRUE(help.contains(option))
                    << lang.toStdString() << " page has " << option.toStdString()
                    << ", which --help does not mention";
        }
    }
}

TEST(ProgramDocs, AppStreamMetainfoIsValidAndMatchesTheDesktopEntry) {
    ASSERT_TRUE(HaveTool("appstreamcli"));
    const QString metainfo = kSource + "/packaging/org.example.VexTempora.metainfo.xml";
    std::string out;
    // Reverse-DNS, the desktop entry's and the icon's name: no finding needs
    // an override.
    EXPECT_EQ(RunCommand("appstreamcli validate --no-net " + ShellQuote(metainfo), &out), 0) << out;
    const QString text = QString::fromUtf8(ReadAll(metainfo));
    EXPECT_TRUE(text.contains("<id>org.example.VexTempora</id>"));
    EXPECT_TRUE(text.contains(
        "<launchable type=\"desktop-id\">org.example.VexTempora.desktop</launchable>"));
    EXPECT_TRUE(QFile::exists(kSource + "/packaging/org.example.VexTempora.desktop"));
    EXPECT_TRUE(text.contains("<summary xml:lang=\"pl\">"));
    EXPECT_TRUE(text.contains("<p xml:lang=\"pl\">"));
    EXPECT_TRUE(text.contains("<project_license>GPL-2.0-or-later</project_license>"));
    EXPECT_TRUE(text.contains("<content_rating"));
    // Every screenshot is one of the pictures the repository keeps.
    static const QRegularExpression image(QStringLiteral("<image[^>]*>[^<]*/(docs/[^<]+)</image>"));
    int screenshots = 0;
    for (const QRegularExpressionMatch& match : image.globalMatch(text)) {
        ++screenshots;
        EXPECT_TRUE(QFile::exists(kSource + "/" + match.captured(1)))
            << match.captured(1).toStdString();
    }
    EXPECT_GE(screenshots, 1);
}

} // namespace
