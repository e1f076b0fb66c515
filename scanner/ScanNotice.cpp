#include "ScanNotice.h"

#include "Process.h"
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
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
const char* const kActionKey = "default";
// Calls to the service never take longer than this.
constexpr int kCallTimeoutMs = 5000;

enum : unsigned {
    kFoundFormat = 290,   // "%llu %s ... „%s”": count, noun, job
    kInfectedNouns = 291, // three plural forms from here
    kChangedNouns = 294,  // three plural forms from here
    kFailedFormat = 297,  // "%s": the job
    kErrorsFormat = 298,  // "%s": the job
    kCountsFormat = 299,  // files, infected, changed, errors
    kActionText = 300,
};

bool IsSet(const char* pszName) {
    const char* value = std::getenv(pszName);
    return value != nullptr && *value != '\0';
}

// Polish nouns after a number: 1 plik, 2-4 pliki (but 12-14 plików), 5 plików.
unsigned PluralForm(unsigned long long n) {
    if (n == 1)
        return 0;
    const unsigned long long units = n % 10;
    const unsigned long long tens = n % 100;
    return units >= 2 && units <= 4 && (tens < 12 || tens > 14) ? 1 : 2;
}

QString Found(unsigned long long n, unsigned nNouns, const std::string& jobName) {
    char text[1024];
    std::snprintf(text, sizeof text, LoadResString(kFoundFormat), n,
                  LoadResString(nNouns + PluralForm(n)), jobName.c_str());
    return QString::fromUtf8(text);
}

QString WithJob(unsigned nFormat, const std::string& jobName) {
    char text[1024];
    std::snprintf(text, sizeof text, LoadResString(nFormat), jobName.c_str());
    return QString::fromUtf8(text);
}

std::string OwnProgram() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

} // namespace

bool CScanNotice::IsWanted(const CScanResult& result) {
    return result.ExitCode() != 0;
}

bool CScanNotice::HasSessionBus() {
    if (IsSet("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    // Without an address the bus library would look there, or start a bus
    // of its own for a display; a notice is not worth a new bus.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    return runtime != nullptr && *runtime != '\0' &&
           ::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

QString CScanNotice::Summary(const std::string& jobName, const CScanResult& result) {
    if (result.m_bFatal)
        return WithJob(kFailedFormat, jobName);
    if (result.m_nInfected > 0)
        return Found(result.m_nInfected, kInfectedNouns, jobName);
    if (result.m_nChanged > 0)
        return Found(result.m_nChanged, kChangedNouns, jobName);
    return WithJob(kErrorsFormat, jobName);
}

QString CScanNotice::Body(const CScanResult& result) {
    char text[512];
    std::snprintf(text, sizeof text, LoadResString(kCountsFormat),
                  static_cast<unsigned long long>(result.m_nFiles),
                  static_cast<unsigned long long>(result.m_nInfected),
                  static_cast<unsigned long long>(result.m_nChanged),
                  static_cast<unsigned long long>(result.m_nErrors));
    return QString::fromUtf8(text);
}

bool CScanNotice::Post(const std::string& jobName, const CScanResult& result) {
    if (!HasSessionBus())
        return false;
    CProcessStart start;
    start.m_strProgram = OwnProgram();
    if (start.m_strProgram.empty())
        return false;
    start.m_args = {"--notice", jobName, Summary(jobName, result).toStdString(),
                    Body(result).toStdString()};
    return StartProcess(start);
}

QString CScanNotice::LogViewerProgram() {
    const QString name = QStringLiteral("vex-tempora");
    const QFileInfo beside(QFileInfo(QString::fromStdString(OwnProgram())).dir(), name);
    if (beside.isFile() && beside.isExecutable())
        return beside.filePath();
    return QStandardPaths::findExecutable(name);
}

CScanNotice::CScanNotice(const QDBusConnection& bus, QString jobName)
    : m_bus(bus), m_strJobName(std::move(jobName)) {}

bool CScanNotice::Send(const QString& summary, const QString& body) {
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

void CScanNotice::Wait(int nSeconds) {
    // Listened for before anything can arrive: the event loop runs only
    // after this returns.
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(OnActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(OnNotificationClosed(uint, uint)));
    m_pTimer = new QTimer(this);
    m_pTimer->setSingleShot(true);
    connect(m_pTimer, &QTimer::timeout, this, &CScanNotice::OnTimeout);
    m_pTimer->start(nSeconds * 1000);
}

void CScanNotice::OnActionInvoked(uint nId, const QString& strAction) {
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

void CScanNotice::OnNotificationClosed(uint nId, uint /*nReason*/) {
    if (nId == m_nId)
        emit Finished();
}

void CScanNotice::OnTimeout() {
    // Nobody waits for the button any more: take the notice back.
    QDBusMessage close = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                        QStringLiteral("CloseNotification"));
    close << m_nId;
    m_bus.call(close, QDBus::Block, kCallTimeoutMs);
    emit Finished();
}

int CScanNotice::RunHelper(int argc, char** argv) {
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
    if (!HasSessionBus())
        return 0;
    QCoreApplication app(argc, argv);
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return 0;
    CScanNotice notice(bus, QString::fromUtf8(argv[2]));
    if (!notice.Send(QString::fromUtf8(argv[3]), QString::fromUtf8(argv[4])) || !notice.HasAction())
        return 0;
    QObject::connect(&notice, &CScanNotice::Finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    notice.Wait(seconds);
    return app.exec();
}
