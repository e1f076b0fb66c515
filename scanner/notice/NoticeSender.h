#pragma once

#include <QObject>
#include <QString>
#include <QtDBus/QDBusConnection>

class QTimer;

// The notice helper's work over the session bus (see ScanNotice.h): sends
// the notice and waits for its button, its closing or the time limit.
class CNoticeSender : public QObject {
    Q_OBJECT
public:
    // Seconds the helper waits for a click at most.
    static constexpr int kDefaultWaitSeconds = 600;

    // The helper's whole work, for "vexscan --notice NAME SUMMARY BODY
    // [SECONDS]": returns its exit code (0 also when no bus or service).
    static int RunHelper(int argc, char** argv);

    // The program that shows a job's log: "vex-tempora" beside this
    // program, else on the PATH; empty when there is none.
    static QString LogViewerProgram();

    CNoticeSender(const QDBusConnection& bus, QString jobName);

    // Sends the notice; with actions when the service has them. False when
    // the service cannot be reached.
    bool Send(const QString& summary, const QString& body);
    // Whether the notice sent carries the log action, so a click may come.
    bool HasAction() const { return m_bAction; }
    uint Id() const { return m_nId; }
    // Waits for the click, the closing or the time limit; the event loop
    // must run. Emits Finished at the end.
    void Wait(int nSeconds);

signals:
    void Finished();

private slots:
    void OnActionInvoked(uint nId, const QString& strAction);
    void OnNotificationClosed(uint nId, uint nReason);
    void OnTimeout();

private:
    QDBusConnection m_bus;
    QString m_strJobName;
    uint m_nId = 0;
    bool m_bAction = false;
    QTimer* m_pTimer = nullptr;
};
