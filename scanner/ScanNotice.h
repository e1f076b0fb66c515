#pragma once

// The desktop notice after a scan that showed no window and found something
// or failed: sent through the freedesktop notification service on the
// session bus. No bus, or no service: nothing happens, the log has it all.
//
// The scanner never waits for the notice. It starts a helper (this program
// again, "vexscan --notice NAME SUMMARY BODY"), detached in a session of its
// own, and ends. The helper sends the notice and, when the service offers
// actions, waits a limited time for a click on "Pokaż protokół", which starts
// "vex-tempora --log NAME"; it ends at the click, when the notice is closed,
// or at the time limit (then it withdraws the notice, whose button would do
// nothing any more). The helper sends the notice itself because services
// may report the click only to the connection that sent it.

#include "Scanner.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtDBus/QDBusConnection>

#include <string>

class QTimer;

class CScanNotice : public QObject {
    Q_OBJECT
public:
    // Seconds the helper waits for a click at most.
    static constexpr int kDefaultWaitSeconds = 600;

    // The scan found something (infected or changed files) or failed.
    static bool IsWanted(const CScanResult& result);
    // The session bus can be reached without starting one: its address is
    // set, or the usual socket in XDG_RUNTIME_DIR exists.
    static bool HasSessionBus();

    // "Vex: znaleziono 2 zainfekowane pliki w analizie „Dom”" and the like.
    static QString Summary(const std::string& jobName, const CScanResult& result);
    // The counts of the scan, one sentence.
    static QString Body(const CScanResult& result);

    // Starts the detached helper for a finished scan (when a bus is there);
    // returns at once. False when no helper was started.
    static bool Post(const std::string& jobName, const CScanResult& result);

    // The helper's whole work, for "vexscan --notice NAME SUMMARY BODY
    // [SECONDS]": returns its exit code (0 also when no bus or service).
    static int RunHelper(int argc, char** argv);

    // The program that shows a job's log: "vex-tempora" beside this
    // program, else on the PATH; empty when there is none.
    static QString LogViewerProgram();

    CScanNotice(const QDBusConnection& bus, QString jobName);

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
