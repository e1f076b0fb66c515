// Moves a job from one running process to another through the clipboard of
// a real X display: the one in DISPLAY, or a private Xvfb started here when
// DISPLAY is unset. Skipped when neither is available.
#include "TestStore.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <memory>

namespace {
QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "clipboard_x11_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// A private X server for the test's lifetime.
class CXServer {
public:
    // The display to use, or empty when there is none.
    QString Start() {
        QString display = qEnvironmentVariable("DISPLAY");
        if (!display.isEmpty())
            return display;
        QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty())
            return QString();
        m_xvfb = std::make_unique<QProcess>();
        // -displayfd 1: the server picks a free display and prints its number
        // once it accepts connections.
        m_xvfb->start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        if (!m_xvfb->waitForStarted(5000) || !m_xvfb->waitForReadyRead(10000))
            return QString();
        QString number = QString::fromLatin1(m_xvfb->readLine()).trimmed();
        return number.isEmpty() ? QString() : ":" + number;
    }
    ~CXServer() {
        if (m_xvfb) {
            m_xvfb->terminate();
            if (!m_xvfb->waitForFinished(5000))
                m_xvfb->kill();
            m_xvfb->waitForFinished(2000);
        }
    }

private:
    std::unique_ptr<QProcess> m_xvfb;
};

QProcessEnvironment PeerEnvironment(const QString& display, const std::string& root) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("RAMPART_ROOT", QString::fromStdString(root));
    return env;
}

// Creates the job key in a state root (and, when name is given, one job).
void PrepareRoot(const std::string& root, const char* name) {
    setenv("RAMPART_ROOT", root.c_str(), 1);
    CRecordingSink sink;
    CScanRegInterface store(&sink);
    ASSERT_TRUE(OpenTestStore(store));
    if (name != nullptr) {
        CJob job;
        MakeStartedJob(job, name, "/srv/dane");
        ASSERT_TRUE(store.AddJob(job));
    }
}
} // namespace

TEST(ClipboardBetweenProcesses, JobMovesFromOneRunningCopyToAnother) {
    App();
    CXServer server;
    QString display = server.Start();
    if (display.isEmpty())
        GTEST_SKIP() << "no X display: DISPLAY is unset and Xvfb is not installed";

    QProcess probe;
    probe.setProcessEnvironment(PeerEnvironment(display, "/nonexistent"));
    probe.start(CLIP_PEER, {"probe"});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        GTEST_SKIP() << "cannot connect to the X display " << display.toStdString();

    CTempStateRoot source;
    CTempStateRoot target;
    PrepareRoot(source.Path(), "Dyski");
    PrepareRoot(target.Path(), nullptr);

    QProcess owner;
    owner.setProcessEnvironment(PeerEnvironment(display, source.Path()));
    owner.start(CLIP_PEER, {"copy", "Dyski"});
    ASSERT_TRUE(owner.waitForReadyRead(10000)) << owner.readAllStandardError().toStdString();
    ASSERT_EQ(owner.readLine().trimmed(), "copied");

    QProcess paster;
    paster.setProcessEnvironment(PeerEnvironment(display, target.Path()));
    paster.start(CLIP_PEER, {"paste"});
    ASSERT_TRUE(paster.waitForFinished(15000));
    EXPECT_EQ(paster.exitCode(), 0) << paster.readAllStandardError().toStdString();
    EXPECT_EQ(paster.readAllStandardOutput().trimmed(), "1");

    owner.closeWriteChannel();
    EXPECT_TRUE(owner.waitForFinished(10000));

    setenv("RAMPART_ROOT", target.Path().c_str(), 1);
    CRecordingSink sink;
    CScanRegInterface store(&sink);
    ASSERT_TRUE(store.Open(kJobKeyPath));
    CJob job;
    ASSERT_TRUE(store.ReadJob("Dyski", &job));
    EXPECT_STREQ(job.GetDirectory(), "/srv/dane");
    EXPECT_FALSE(job.HasLastStart());
}
