#include "DesktopRegistration.h"
#include "TestSupport.h"

#include <QMimeDatabase>
#include <QTemporaryDir>

#include <cstdlib>
#include <gtest/gtest.h>

// The job file type as the desktop sees it: a MIME database built from our
// package (the one the installation and the per-user registration write).

namespace {

class MimeTypeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir();
        const QString mime = s_dir->path() + "/mime";
        WriteAll(mime + "/packages/vex-tempora.xml", CDesktopRegistration::MimePackage());
        if (HaveTool("update-mime-database"))
            RunCommand("update-mime-database " + ShellQuote(mime));
        // QMimeDatabase reads these when it is first used in this process.
        setenv("XDG_DATA_HOME", s_dir->path().toUtf8().constData(), 1);
        setenv("XDG_DATA_DIRS", "/usr/share", 1);
    }
    static void TearDownTestSuite() { delete s_dir; }

    static QString TypeOf(const char* fileName, const QByteArray& content) {
        const QString path = s_dir->path() + "/" + fileName;
        WriteAll(path, content);
        return QMimeDatabase().mimeTypeForFile(path).name();
    }

    static QTemporaryDir* s_dir;
};

QTemporaryDir* MimeTypeTest::s_dir = nullptr;

const QByteArray kJobFileStart("\x10Vex Tempora v1.0\x00\x00\x00\x00", 21);

TEST_F(MimeTypeTest, JobFilesAreKnownByNameAndBySignature) {
    EXPECT_EQ(TypeOf("nightly.scj", kJobFileStart), "application/x-vigil-dokument");
    EXPECT_EQ(TypeOf("NIGHTLY.SCJ", kJobFileStart), "application/x-vigil-dokument");
    // A job file that lost its extension is still recognised by its signature.
    EXPECT_EQ(TypeOf("nightly.bin", kJobFileStart), "application/x-vigil-dokument");
    EXPECT_EQ(QMimeDatabase().mimeTypeForName("application/x-vigil-dokument").comment(),
              "Vgl Dokument");
}

TEST_F(MimeTypeTest, SimilarBytesAreNotJobFiles) {
    // Another version, a missing length byte, the signature not at the start.
    EXPECT_NE(TypeOf("a.bin", QByteArray("\x10Vex Tempora v2.0\x00", 18)),
              "application/x-vigil-dokument");
    EXPECT_NE(TypeOf("b.bin", QByteArray("Vex Tempora v1.0\x00\x00", 18)),
              "application/x-vigil-dokument");
    EXPECT_NE(TypeOf("c.bin", QByteArray("\x00\x10Vex Tempora v1.0", 18)),
              "application/x-vigil-dokument");
}

} // namespace
