// A small notification service for tests: it owns the name
// org.freedesktop.Notifications on the session bus that the test started and
// writes every call it gets, one line each, to the record file.
//
//   fake_notifier RECORD [--no-actions] [--click]
//
// --no-actions: GetCapabilities leaves out "actions".
// --click: 200 ms after a notice arrives, the user "clicks" its default action.
#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>

#include <cstdio>

class CFakeNotifier : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    CFakeNotifier(QString record, bool bActions, bool bClick)
        : m_strRecord(std::move(record)), m_bActions(bActions), m_bClick(bClick) {}

public slots:
    Q_SCRIPTABLE QStringList GetCapabilities() {
        Record(QStringLiteral("GetCapabilities"));
        QStringList caps{QStringLiteral("body")};
        if (m_bActions)
            caps << QStringLiteral("actions");
        return caps;
    }
    Q_SCRIPTABLE uint Notify(const QString& app, uint replaces, const QString& icon,
                             const QString& summary, const QString& body,
                             const QStringList& actions, const QVariantMap& hints, int timeout) {
        Q_UNUSED(replaces);
        Q_UNUSED(icon);
        Q_UNUSED(hints);
        Q_UNUSED(timeout);
        const uint id = ++m_nLastId + 6; // ids that differ from a first guess of 1
        Record(QStringLiteral("Notify\t%1\t%2\t%3\t%4\t%5")
                   .arg(id)
                   .arg(app, summary, body, actions.join(QLatin1Char('|'))));
        if (m_bClick && !actions.isEmpty())
            QTimer::singleShot(200, this, [this, id] {
                emit ActionInvoked(id + 100, QStringLiteral("default")); // someone else's
                emit ActionInvoked(id, QStringLiteral("default"));
            });
        return id;
    }
    Q_SCRIPTABLE void CloseNotification(uint id) {
        Record(QStringLiteral("CloseNotification\t%1").arg(id));
        emit NotificationClosed(id, 3);
    }
    Q_SCRIPTABLE QString GetServerInformation(QString& vendor, QString& version,
                                              QString& specVersion) {
        vendor = QStringLiteral("test");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("fake");
    }

    // The test waits for this line before it lets a scanner look for the service.
    void Ready() { Record(QStringLiteral("ready")); }

signals:
    Q_SCRIPTABLE void ActionInvoked(uint id, const QString& actionKey);
    Q_SCRIPTABLE void NotificationClosed(uint id, uint reason);

private:
    void Record(const QString& line) {
        QFile file(m_strRecord);
        if (file.open(QIODevice::Append | QIODevice::Text))
            file.write((line + QLatin1Char('\n')).toUtf8());
    }

    QString m_strRecord;
    bool m_bActions;
    bool m_bClick;
    uint m_nLastId = 0;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: fake_notifier RECORD [--no-actions] [--click]\n");
        return 2;
    }
    CFakeNotifier notifier(args[1], !args.contains(QStringLiteral("--no-actions")),
                           args.contains(QStringLiteral("--click")));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifier,
                            QDBusConnection::ExportScriptableSlots |
                                QDBusConnection::ExportScriptableSignals) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "fake_notifier: cannot take the service name\n");
        return 1;
    }
    notifier.Ready();
    return app.exec();
}

#include "FakeNotifier.moc"
