#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

// Installs the build tree into a temporary prefix, as `cmake --install` and
// the .deb do, and checks what lands there.

namespace {

const QString kSource = QStringLiteral(VEX_SOURCE_DIR);
const QStringList kPrograms = QString(VEX_PROGRAMS).split(',', Qt::SkipEmptyParts);
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

class InstallTreeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_prefix = new QTemporaryDir();
        std::string out;
        s_installResult =
            RunCommand(std::string(VEX_CMAKE_COMMAND) + " --install " + ShellQuote(VEX_BINARY_DIR) +
                           " --prefix " + ShellQuote(s_prefix->path()),
                       &out);
        s_installOutput = new std::string(out);
    }
    static void TearDownTestSuite() {
        delete s_prefix;
        delete s_installOutput;
    }
    void SetUp() override { ASSERT_EQ(s_installResult, 0) << *s_installOutput; }

    static QString Installed(const QString& relative) { return s_prefix->path() + "/" + relative; }

    static QTemporaryDir* s_prefix;
    static std::string* s_installOutput;
    static int s_installResult;
};

QTemporaryDir* InstallTreeTest::s_prefix = nullptr;
std::string* InstallTreeTest::s_installOutput = nullptr;
int InstallTreeTest::s_installResult = -1;

TEST_F(InstallTreeTest, HoldsEveryFile) {
    QStringList expected = {
        "share/applications/vex-tempora.desktop",
        "share/mime/packages/vex-tempora.xml",
        "share/icons/hicolor/scalable/apps/vex-tempora.svg",
        "lib/systemd/user/vexserv.service",
    };
    for (int size : kIconSizes)
        expected << QString("share/icons/hicolor/%1x%1/apps/vex-tempora.png").arg(size);
    for (const QString& page : QDir(kSource + "/packaging/help").entryList({"*.html", "*.css"}))
        expected << "share/vex-tempora/help/" + page;
    for (const QString& program : kPrograms)
        expected << "bin/" + program;

    EXPECT_TRUE(expected.contains("share/vex-tempora/help/index.html"));
    EXPECT_TRUE(expected.contains("share/vex-tempora/help/skorowidz.html"));
    for (const QString& file : expected) {
        const QFileInfo info(Installed(file));
        EXPECT_TRUE(info.isFile() && info.size() > 0) << file.toStdString();
    }
    for (const QString& program : kPrograms)
        EXPECT_TRUE(QFileInfo(Installed("bin/" + program)).isExecutable()) << program.toStdString();
}

TEST_F(InstallTreeTest, DesktopEntryAndMimePackagePassTheValidators) {
    if (!HaveTool("desktop-file-validate") || !HaveTool("xmllint"))
        GTEST_SKIP() << "desktop-file-validate or xmllint is not installed (scripts/deps)";
    std::string out;
    EXPECT_EQ(RunCommand("desktop-file-validate " +
                             ShellQuote(Installed("share/applications/vex-tempora.desktop")),
                         &out),
              0)
        << out;
    EXPECT_EQ(out, "");
    EXPECT_EQ(RunCommand("xmllint --noout " +
                             ShellQuote(Installed("share/mime/packages/vex-tempora.xml")),
                         &out),
              0)
        << out;
}

TEST_F(InstallTreeTest, LiveInstallRefreshesTheMimeDatabase) {
    if (!HaveTool("update-mime-database"))
        GTEST_SKIP() << "update-mime-database is not installed";
    // The magic rule made it into the compiled database: the signature's length
    // byte 0x10 followed by the signature text, at offset 0.
    const QByteArray magic = ReadAll(Installed("share/mime/magic"));
    EXPECT_TRUE(magic.contains("[80:application/x-vigil-dokument]\n>0="));
    EXPECT_TRUE(magic.contains(QByteArray("\x00\x11\x10Vex Tempora v1.0", 19)));
    EXPECT_TRUE(
        ReadAll(Installed("share/mime/globs2")).contains("application/x-vigil-dokument:*.scj"));
}

TEST_F(InstallTreeTest, UserUnitRunsTheInstalledServer) {
    const QString unit = QString::fromUtf8(ReadAll(Installed("lib/systemd/user/vexserv.service")));
    const QString server = Installed("bin/vexserv");
    EXPECT_TRUE(unit.contains("\nExecStartPre=" + server + " --install\n"));
    EXPECT_TRUE(unit.contains("\nExecStart=" + server + "\n"));
    EXPECT_TRUE(unit.contains("\nRestart=on-failure\n"));
    EXPECT_TRUE(unit.contains("\nWantedBy=default.target\n"));
    EXPECT_FALSE(unit.contains('@')) << "every placeholder is filled";

    if (kPrograms.contains("vexserv") && HaveTool("systemd-analyze")) {
        QTemporaryDir runtime;
        std::string out;
        EXPECT_EQ(RunCommand("XDG_RUNTIME_DIR=" + ShellQuote(runtime.path()) +
                                 " systemd-analyze verify --user " +
                                 ShellQuote(Installed("lib/systemd/user/vexserv.service")),
                             &out),
                  0)
            << out;
        EXPECT_EQ(out, "");
    }
}

TEST_F(InstallTreeTest, IconsHaveTheSizeOfTheirFolder) {
    for (int size : kIconSizes) {
        const QByteArray png =
            ReadAll(Installed(QString("share/icons/hicolor/%1x%1/apps/vex-tempora.png").arg(size)));
        ASSERT_GE(png.size(), 24) << size;
        EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n")) << size;
        // IHDR: width and height, big-endian, at offsets 16 and 20.
        EXPECT_EQ(qFromBigEndian<quint32>(png.constData() + 16), quint32(size));
        EXPECT_EQ(qFromBigEndian<quint32>(png.constData() + 20), quint32(size));
    }
}

} // namespace
