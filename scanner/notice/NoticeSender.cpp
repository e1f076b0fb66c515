#include "NoticeSender.h"

#include "Process.h"
#include "ScanNotice.h"
#include "StringTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusReply>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
const char* const kActionKey = "default";
// Calls to the service never take longer than this.
constexpr int kCallTimeoutMs = 5000;
// The text of the notice's button.
constexpr unsigned kActionText = 300;

std::string OwnProgram() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

} // namespace

QString CNoticeSender::LogViewerProgram() {
    const QString name = QStringLiteral("vex-tempora");
    const QFileInfo beside(QFileInfo(QString::fromStdString(OwnProgram())).dir(), name);
    if (beside.isFile() && beside.isExecutable())
        return beside.filePath();
    return QStandardPaths::findExecutable(name);
}

CNoticeSender::CNoticeSender(const QDBusConnection& bus, QString jobName)
    : m_bus(bus), m_strJobName(std::move(jobName)) {}

bool CNoticeSender::Send(const QString& summary, const QString& body) {
    QDBusMessage caps = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("GetCapabilities"));
    const QDBusReply<QStringList> capsReply = m_bus.call(caps, QDBus::Block, kCallTimeoutMs);
    if (!capsReply.isValid())
        return false;
    m_bAction = capsReply.value().contains(QStringLiteral("actions"));
    QStringList actions;
    if (m_bAction)
        actions << QString::fromLatin1(kActionKey) << QString::fromUtf8(LoadResString(kActionText));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("vex-tempora"));

    QDBusMessage notify =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    notify << QStringLiteral("Vex") << uint(0) << QStringLiteral("dialog-warning") << summary
           << body << actions << hints << int(-1);
    const QDBusReply<uint> reply = m_bus.call(notify, QDBus::Block, kCallTimeoutMs);
    if (!reply.isValid())
        return false;
    m_nId = reply.value();
    return true;
}

void CNoticeSender::Wait(int nSeconds) {
    // Listened for before anything can arrive: the event loop runs only
    // after this returns.
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(OnActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(OnNotificationClosed(uint, uint)));
    m_pTimer = new QTimer(this);
    m_pTimer->setSingleShot(true);
    connect(m_pTimer, &QTimer::timeout, this, &CNoticeSender::OnTimeout);
    m_pTimer->start(nSeconds * 1000);
}

void CNoticeSender::OnActionInvoked(uint nId, const QString& strAction) {
    if (nId != m_nId)
        return;
    if (strAction == QLatin1String(kActionKey)) {
        const QString program = LogViewerProgram();
        if (!program.isEmpty()) {
            CProcessStart start;
            start.m_strProgram = program.toStdString();
            start.m_args = {"--log", m_strJobName.toStdString()};
            StartProcess(start);
        }
    }
    emit Finished();
}

void CNoticeSender::OnNotificationClosed(uint nId, uint /*nReason*/) {
    if (nId == m_nId)
        emit Finished();
}

void CNoticeSender::OnTimeout() {
    // Nobody waits for the button any more: take the notice back.
    QDBusMessage close = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                        QStringLiteral("CloseNotification"));
    close << m_nId;
    m_bus.call(close, QDBus::Block, kCallTimeoutMs);
    emit Finished();
}

int CNoticeSender::RunHelper(int argc, char** argv) {
    if (argc < 5 || argc > 6) {
        std::fprintf(stderr, "usage: vexscan --notice JOB SUMMARY BODY [SECONDS]\n");
        return 2;
    }
    // The scanner's output streams may be a pipe that someone reads to its
    // end: a helper that waits for a click must not keep it open.
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull >= 0) {
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        ::close(devNull);
    }
    int seconds = kDefaultWaitSeconds;
    if (argc == 6) {
        seconds = std::atoi(argv[5]);
        if (seconds < 1 || seconds > 24 * 3600)
            seconds = kDefaultWaitSeconds;
    }
    if (!CScanNotice::HasSessionBus())
        return 0;
    QCoreApplication app(argc, argv);
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return 0;
    CNoticeSender notice(bus, QString::fromUtf8(argv[2]));
    if (!notice.Send(QString::fromUtf8(argv[3]), QString::fromUtf8(argv[4])) || !notice.HasAction())
        return 0;
    QObject::connect(&notice, &CNoticeSender::Finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    notice.Wait(seconds);
    return app.exec();
}
