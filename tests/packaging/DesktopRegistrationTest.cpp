#include "DesktopRegistration.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Result = CDesktopRegistration::Result;

namespace {

const QString kSource = QStringLiteral(VEX_SOURCE_DIR);

// Path, size and modification time of every file below a directory.
QMap<QString, QString> Snapshot(const QString& dir) {
    QMap<QString, QString> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        files[info.filePath()] =
            QString::number(info.size()) + "@" +
            QString::number(info.lastModified().toMSecsSinceEpoch()) + ":" +
            QString::number(info.fileTime(QFileDevice::FileModificationTime).time().msec());
    }
    return files;
}

// The keys of the [Desktop Entry] group, in file order.
QMap<QString, QString> EntryKeys(const QByteArray& file) {
    QMap<QString, QString> keys;
    for (const QByteArray& line : file.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && !line.startsWith('#'))
            keys[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
    }
    return keys;
}

class DesktopRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_home = m_tmp.filePath("home");
        m_system = m_tmp.filePath("system");
        QDir().mkpath(m_home);
        QDir().mkpath(m_system);
        m_program = MakeProgram(m_tmp.filePath("bin/vex-tempora"));
    }

    QString MakeProgram(const QString& path) {
        WriteAll(path, "#!/bin/sh\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    // A registration confined to the temporary directories; the database
    // tools are looked up in the system's directories when `tools` is set.
    CDesktopRegistration Make(const QString& program, bool tools = true) {
        CDesktopRegistration reg(program);
        reg.SetDataHome(m_home);
        reg.SetDataDirs({m_system});
        reg.SetSearchPath(tools ? QStringList{"/usr/bin", "/bin"} : QStringList{});
        reg.SetRunningAsRoot(false);
        return reg;
    }

    QString UserEntry() const { return m_home + "/applications/org.example.VexTempora.desktop"; }
    QString UserMime() const { return m_home + "/mime/packages/vex-tempora.xml"; }
    QString UserIcon() const {
        return m_home + "/icons/hicolor/scalable/apps/org.example.VexTempora.svg";
    }

    // Installs a system-wide entry whose Exec line is `exec`.
    void InstallSystemEntry(const QByteArray& exec) {
        WriteAll(m_system + "/applications/org.example.VexTempora.desktop",
                 "[Desktop Entry]\nType=Application\nName=Vex Tempora\nExec=" + exec + "\n");
        WriteAll(m_system + "/mime/packages/vex-tempora.xml", CDesktopRegistration::MimePackage());
    }

    QTemporaryDir m_tmp;
    QString m_home;
    QString m_system;
    QString m_program;
};

TEST_F(DesktopRegistrationTest, FirstStartRegistersAndSecondStartChangesNothing) {
    const bool tools = HaveTool("update-mime-database") && HaveTool("update-desktop-database");
    EXPECT_EQ(Make(m_program).Register(), Result::Registered);

    EXPECT_EQ(ReadAll(UserMime()), CDesktopRegistration::MimePackage());
    EXPECT_EQ(ReadAll(UserIcon()), CDesktopRegistration::IconSvg());
    const QByteArray entry = ReadAll(UserEntry());
    EXPECT_TRUE(entry.contains("Exec=" + m_program.toUtf8() + " %f\n")) << entry.constData();
    if (tools) {
        // The databases now know the type and which program opens it.
        EXPECT_TRUE(QFileInfo(m_home + "/mime/application/x-vigil-dokument.xml").isFile());
        EXPECT_TRUE(ReadAll(m_home + "/applications/mimeinfo.cache")
                        .contains("application/x-vigil-dokument=org.example.VexTempora.desktop"));
    }

    const auto before = Snapshot(m_home);
    EXPECT_EQ(Make(m_program).Register(), Result::AlreadyRegistered);
    EXPECT_EQ(Snapshot(m_home), before);
}

TEST_F(DesktopRegistrationTest, WithoutDatabaseToolsOnlyTheFilesAreWritten) {
    EXPECT_EQ(Make(m_program, false).Register(), Result::Registered);
    EXPECT_TRUE(QFileInfo(UserEntry()).isFile());
    EXPECT_FALSE(QFileInfo(m_home + "/mime/mime.cache").exists());
    EXPECT_EQ(Make(m_program, false).Register(), Result::AlreadyRegistered);
}

TEST_F(DesktopRegistrationTest, MissingDatabaseIsBuiltOnALaterStartWhenTheToolAppears) {
    if (!HaveTool("update-mime-database"))
        GTEST_SKIP() << "update-mime-database is not installed";
    ASSERT_EQ(Make(m_program, false).Register(), Result::Registered);
    EXPECT_EQ(Make(m_program).Register(), Result::Registered);
    EXPECT_TRUE(QFileInfo(m_home + "/mime/application/x-vigil-dokument.xml").isFile());
}

TEST_F(DesktopRegistrationTest, StaleOrDamagedFilesAreRewritten) {
    ASSERT_EQ(Make(m_program, false).Register(), Result::Registered);
    // An entry left by a copy of the program in another folder, and a cut package.
    const QString moved = MakeProgram(m_tmp.filePath("elsewhere/vex-tempora"));
    ASSERT_EQ(Make(moved, false).Register(), Result::Registered);
    EXPECT_TRUE(ReadAll(UserEntry()).contains("Exec=" + moved.toUtf8() + " %f"));
    WriteAll(UserMime(), CDesktopRegistration::MimePackage().left(40));
    EXPECT_EQ(Make(moved, false).Register(), Result::Registered);
    EXPECT_EQ(ReadAll(UserMime()), CDesktopRegistration::MimePackage());
}

TEST_F(DesktopRegistrationTest, RootWritesNothing) {
    CDesktopRegistration reg = Make(m_program);
    reg.SetRunningAsRoot(true);
    EXPECT_EQ(reg.Register(), Result::SkippedAsRoot);
    EXPECT_TRUE(Snapshot(m_home).isEmpty());
}

TEST_F(DesktopRegistrationTest, ProgramPathWithControlCharacterIsRefused) {
    const QString odd = MakeProgram(m_tmp.filePath("odd\nname/vex-tempora"));
    EXPECT_EQ(Make(odd, false).Register(), Result::Failed);
    EXPECT_TRUE(Snapshot(m_home).isEmpty());
}

TEST_F(DesktopRegistrationTest, UnwritableDataHomeFails) {
    WriteAll(m_home + "/applications", "a file where a folder belongs");
    EXPECT_EQ(Make(m_program, false).Register(), Result::Failed);
}

TEST_F(DesktopRegistrationTest, InstalledEntryForThisProgramLeavesTheHomeAlone) {
    // By absolute path, and by name found on the search path.
    InstallSystemEntry(m_program.toUtf8() + " %f");
    EXPECT_EQ(Make(m_program).Register(), Result::SystemWide);
    EXPECT_TRUE(Snapshot(m_home).isEmpty());

    InstallSystemEntry("vex-tempora %f");
    CDesktopRegistration reg = Make(m_program);
    reg.SetSearchPath({QFileInfo(m_program).absolutePath()});
    EXPECT_EQ(reg.Register(), Result::SystemWide);
    EXPECT_TRUE(Snapshot(m_home).isEmpty());
}

TEST_F(DesktopRegistrationTest, InstalledEntryRemovesOnlyOurOwnUserFiles) {
    ASSERT_EQ(Make(m_program, false).Register(), Result::Registered);
    InstallSystemEntry(m_program.toUtf8() + " %f");
    EXPECT_EQ(Make(m_program, false).Register(), Result::SystemWide);
    EXPECT_FALSE(QFileInfo(UserEntry()).exists());
    EXPECT_FALSE(QFileInfo(UserMime()).exists());
    EXPECT_FALSE(QFileInfo(UserIcon()).exists());

    // A desktop entry the user wrote by hand is theirs and stays.
    const QByteArray handmade = "[Desktop Entry]\nType=Application\nName=Mine\nExec=mine\n";
    WriteAll(UserEntry(), handmade);
    EXPECT_EQ(Make(m_program, false).Register(), Result::SystemWide);
    EXPECT_EQ(ReadAll(UserEntry()), handmade);
}

TEST_F(DesktopRegistrationTest, InstalledEntryForAnotherProgramDoesNotCount) {
    const QString other = MakeProgram(m_tmp.filePath("usr/bin/vex-tempora"));
    InstallSystemEntry(other.toUtf8() + " %f");
    EXPECT_EQ(Make(m_program, false).Register(), Result::Registered);
    EXPECT_TRUE(ReadAll(UserEntry()).contains(m_program.toUtf8()));
}

TEST(DesktopRegistrationStartUp, OtherProgramsThanTheWindowRegisterNothing) {
    // This test program starts an application object as the window's tests
    // do; it must not become the handler of job files.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    int argc = 1;
    char name[] = "desktop_registration_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    EXPECT_EQ(RegisterDesktopIntegration(), Result::NotTheWindow);
    EXPECT_TRUE(QDir(home.path()).isEmpty());
}

TEST(DesktopExecQuoting, ReservedCharactersArePutInQuotes) {
    EXPECT_EQ(CDesktopRegistration::QuoteExecArgument("/usr/bin/vex-tempora"),
              "/usr/bin/vex-tempora");
    EXPECT_EQ(CDesktopRegistration::QuoteExecArgument("/opt/My Apps/vex"), "\"/opt/My Apps/vex\"");
    EXPECT_EQ(CDesktopRegistration::QuoteExecArgument("/a$b\"c`d\\e"), "\"/a\\$b\\\"c\\`d\\\\e\"");
    EXPECT_EQ(CDesktopRegistration::QuoteExecArgument("/100%/vex"), "/100%%/vex");
}

TEST_F(DesktopRegistrationTest, OddProgramPathsRoundTripThroughTheEntry) {
    // What registration writes must read back as the same program, and the
    // desktop's own validator must accept it.
    for (const char* name :
         {"with space", "dollar$sign", "quote\"mark", "back\\slash", "per%cent", "Zażółć gęślą"}) {
        SCOPED_TRACE(name);
        const QString program = MakeProgram(m_tmp.filePath(QString("p/") + name + "/vex-tempora"));
        QTemporaryDir home;
        CDesktopRegistration first(program);
        first.SetDataHome(home.path());
        first.SetDataDirs({});
        first.SetSearchPath({});
        first.SetRunningAsRoot(false);
        ASSERT_EQ(first.Register(), Result::Registered);

        // The user's files, taken as an installation, are recognised as this program.
        CDesktopRegistration second(program);
        second.SetDataHome(m_home);
        second.SetDataDirs({home.path()});
        second.SetSearchPath({});
        second.SetRunningAsRoot(false);
        EXPECT_EQ(second.Register(), Result::SystemWide);

        if (HaveTool("desktop-file-validate")) {
            std::string out;
            EXPECT_EQ(RunCommand("desktop-file-validate " +
                                     ShellQuote(home.path() +
                                                "/applications/org.example.VexTempora.desktop"),
                                 &out),
                      0)
                << out;
        }
    }
}

TEST(DesktopRegistrationFiles, EmbeddedCopiesMatchTheInstalledFiles) {
    // The compiled-in files are the packaging files themselves.
    EXPECT_FALSE(CDesktopRegistration::MimePackage().isEmpty());
    EXPECT_FALSE(CDesktopRegistration::IconSvg().isEmpty());
    EXPECT_EQ(CDesktopRegistration::MimePackage(), ReadAll(kSource + "/packaging/vex-tempora.xml"));
    EXPECT_EQ(CDesktopRegistration::IconSvg(),
              ReadAll(kSource + "/packaging/icons/org.example.VexTempora.svg"));

    // The user's entry says what the installed one says, but for the program path.
    auto installed = EntryKeys(ReadAll(kSource + "/packaging/org.example.VexTempora.desktop"));
    auto user = EntryKeys(CDesktopRegistration("/opt/vex/bin/vex-tempora").DesktopEntry());
    EXPECT_EQ(installed.take("Exec"), "vex-tempora %f");
    EXPECT_EQ(user.take("Exec"), "/opt/vex/bin/vex-tempora %f");
    EXPECT_EQ(installed.take("TryExec"), "vex-tempora");
    EXPECT_EQ(user.take("TryExec"), "/opt/vex/bin/vex-tempora");
    EXPECT_EQ(user.take("X-Vex-Tempora-Registration"), "user");
    EXPECT_EQ(user, installed);
}

} // namespace
