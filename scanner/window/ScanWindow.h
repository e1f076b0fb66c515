#pragma once

#include "ScanResult.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <mutex>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// The scanner's window, "Vex: <job>": progress, the current file, the time
// taken, the counts and the findings of a running scan. The scan's threads
// report through IScanProgress into a small shared state; a timer in the
// window's thread shows it, so a fast scan never floods the event loop.
class CScanWindow : public QWidget, public IScanProgress {
    Q_OBJECT
public:
    // endMode: 0 stays open when done, 1 only when something was found or
    // went wrong, 2 closes itself.
    CScanWindow(const std::string& jobName, int endMode, QWidget* parent = nullptr);

    // Called when the user asks to stop ("Zatrzymaj", or closing the window).
    void SetStopHandler(std::function<void()> stop) { m_stop = std::move(stop); }
    // From any thread: the scan has ended with this result.
    void ScanFinished(const CScanResult& result);
    bool IsScanFinished() const { return m_bFinished; }

    void OnWalk(size_t filesFound, bool walkDone) override;
    void OnFile(const std::string& path, size_t filesDone, const CScanResult& counts) override;
    void OnFinding(const CScanFinding& finding) override;

    // What the window shows, for tests.
    QProgressBar* ProgressBar() const { return m_pProgress; }
    QPushButton* StopButton() const { return m_pStop; }
    QPushButton* CloseButton() const { return m_pClose; }
    QTreeWidget* Findings() const { return m_pFindings; }
    QString CountsText() const;
    QString StateText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void Refresh();
    void Finish(const CScanResult& result);

private:
    void RequestStop();
    QString Elapsed() const;

    // Written by the scan's threads, read by Refresh.
    struct Shared {
        size_t nFound = 0;
        bool bWalkDone = false;
        size_t nDone = 0;
        CScanResult counts;
        std::string strCurrent;
        std::vector<CScanFinding> newFindings;
    };
    std::mutex m_mutex;
    Shared m_shared;

    int m_nEndMode;
    bool m_bFinished = false;
    bool m_bStopAsked = false;
    std::function<void()> m_stop;
    CScanResult m_result;
    QElapsedTimer m_clock;
    QTimer m_timer;
    QProgressBar* m_pProgress;
    QLabel* m_pCurrent;
    QLabel* m_pTime;
    QLabel* m_pCounts;
    QLabel* m_pState;
    QTreeWidget* m_pFindings;
    QPushButton* m_pStop;
    QPushButton* m_pClose;
};

// Runs the scan on a thread of its own while the window shows it; returns
// when the scan has ended and the window has closed (by itself or by the
// user, as the end mode says). onFinished, when set, gets the result on the
// scan's thread as soon as the scan ends, whatever the window still waits for.
CScanResult RunScanInWindow(const CScanTask& task, const std::string& jobName, int endMode,
                            const std::function<void(const CScanResult&)>& onFinished = {});
