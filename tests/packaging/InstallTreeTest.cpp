#include "TestSupport.h"

#include <QDir>
#include <QFile>
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
const QStringList kModules = {QStringLiteral(VEX_PRIVATE_LIBDIR "/vexscan-window.so"),
                              QStringLiteral(VEX_PRIVATE_LIBDIR "/vexscan-notice.so")};

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
        "share/applications/org.example.VexTempora.desktop",
        "share/mime/packages/vex-tempora.xml",
        "share/icons/hicolor/scalable/apps/org.example.VexTempora.svg",
        "lib/systemd/user/vexserv.service",
    };
    for (int size : kIconSizes)
        expected << QString("share/icons/hicolor/%1x%1/apps/org.example.VexTempora.png").arg(size);
    for (const QString& page : QDir(kSource + "/packaging/help").entryList({"*.html", "*.css"}))
        expected << "share/vex-tempora/help/" + page;
    for (const QString& program : kPrograms)
        expected << "bin/" + program;
    if (kPrograms.contains("vexscan"))
        expected << kModules;

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
    EXPECT_EQ(
        RunCommand("desktop-file-validate " +
                       ShellQuote(Installed("share/applications/org.example.VexTempora.desktop")),
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

// The installed scanner finds its modules in the private library folder of
// whatever prefix it was installed to: a shown scan runs in its window
// (offscreen, end mode 2: it closes itself) instead of printing its result,
// and the notice helper gets as far as looking for a bus, which it does
// silently.
TEST_F(InstallTreeTest, InstalledScannerLoadsItsModules) {
    if (!kPrograms.contains("vexscan"))
        GTEST_SKIP() << "vexscan is not built";
    QTemporaryDir work;
    ASSERT_TRUE(QDir().mkpath(work.path() + "/tree"));
    QFile(work.path() + "/tree/file").open(QIODevice::WriteOnly);
    QFile command(work.path() + "/command");
    ASSERT_TRUE(command.open(QIODevice::WriteOnly));
    command.write("21010011\r\nOkno\r\n" + work.path().toUtf8() + "/tree\r\n");
    command.close();
    const std::string env =
        "env -u WAYLAND_DISPLAY RAMPART_ROOT=" + ShellQuote(work.path() + "/state") +
        " VEX_SIGNATURES=" + ShellQuote(work.path() + "/no-signatures") + " ";
    std::string out;
    // Without signatures the scan ends with exit code 2, in the window as
    // without it.
    EXPECT_EQ(RunCommand(env + "QT_QPA_PLATFORM=offscreen DISPLAY=:987 " +
                             ShellQuote(Installed("bin/vexscan")) + " -c " +
                             ShellQuote(command.fileName()),
                         &out),
              2);
    EXPECT_EQ(out.find("Okno: "), std::string::npos) << out;
    EXPECT_EQ(out.find("niedostępne"), std::string::npos) << out;

    EXPECT_EQ(RunCommand(env + "DBUS_SESSION_BUS_ADDRESS=unix:path=" +
                             ShellQuote(work.path() + "/no-bus") + " " +
                             ShellQuote(Installed("bin/vexscan")) + " --notice Okno s b 1",
                         &out),
              0);
    EXPECT_EQ(out, "");
}

TEST_F(InstallTreeTest, IconsHaveTheSizeOfTheirFolder) {
    for (int size : kIconSizes) {
        const QByteArray png = ReadAll(Installed(
            QString("share/icons/hicolor/%1x%1/apps/org.example.VexTempora.png").arg(size)));
        ASSERT_GE(png.size(), 24) << size;
        EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n")) << size;
        // IHDR: width and height, big-endian, at offsets 16 and 20.
        EXPECT_EQ(qFromBigEndian<quint32>(png.constData() + 16), quint32(size));
        EXPECT_EQ(qFromBigEndian<quint32>(png.constData() + 20), quint32(size));
    }
}

} // namespace
