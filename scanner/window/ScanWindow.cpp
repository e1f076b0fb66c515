#include "ScanWindow.h"

#include "LineText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <thread>

namespace {

// Texts that hold names, with line breaks and other controls escaped as in
// the log; a path with its backslashes too, so it reads as the log has it.
QString Q(const std::string& text) {
    return QString::fromStdString(EscapeControls(text));
}

QString QPath(const std::string& path) {
    return QString::fromStdString(EscapePath(path));
}

} // namespace

CScanWindow::CScanWindow(const std::string& jobName, int endMode, QWidget* parent)
    : QWidget(parent), m_nEndMode(endMode) {
    setWindowTitle("Vex: " + Q(jobName));
    m_pProgress = new QProgressBar(this);
    m_pProgress->setRange(0, 0); // busy while the walk is still counting
    m_pProgress->setFormat("%v z %m plików");
    m_pCurrent = new QLabel(this);
    m_pCurrent->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pCurrent->setTextFormat(Qt::PlainText); // a file name is no markup
    m_pTime = new QLabel(this);
    m_pCounts = new QLabel(this);
    m_pState = new QLabel("Trwa analiza…", this);
    // The reason of a failure names a path: plain text, wrapped when long.
    m_pState->setTextFormat(Qt::PlainText);
    m_pState->setWordWrap(true);
    m_pFindings = new QTreeWidget(this);
    m_pFindings->setHeaderLabels({"Plik", "Znalezisko", "Działanie"});
    m_pFindings->setRootIsDecorated(false);
    m_pFindings->setUniformRowHeights(true);
    m_pFindings->header()->setStretchLastSection(true);
    // Signature names are the part a user looks up: they show whole.
    m_pFindings->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_pStop = new QPushButton("&Zatrzymaj", this);
    m_pClose = new QPushButton("Za&mknij", this);
    m_pClose->setEnabled(false);
    connect(m_pStop, &QPushButton::clicked, this, &CScanWindow::RequestStop);
    connect(m_pClose, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pState, 1);
    buttons->addWidget(m_pStop);
    buttons->addWidget(m_pClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pProgress);
    layout->addWidget(m_pCurrent);
    layout->addWidget(m_pTime);
    layout->addWidget(m_pCounts);
    layout->addWidget(new QLabel("Znaleziska:", this));
    layout->addWidget(m_pFindings, 1);
    layout->addLayout(buttons);

    // Wide enough for a path, a signature name and an action side by side.
    const QFontMetrics fm(font());
    QSize size(fm.horizontalAdvance(QString(130, 'x')), fm.height() * 26);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);
    m_pFindings->setColumnWidth(0, fm.horizontalAdvance(QString(40, 'x')));

    m_clock.start();
    connect(&m_timer, &QTimer::timeout, this, &CScanWindow::Refresh);
    m_timer.start(100);
    Refresh();
}

void CScanWindow::OnWalk(size_t filesFound, bool walkDone) {
    std::lock_guard lock(m_mutex);
    m_shared.nFound = filesFound;
    m_shared.bWalkDone = walkDone;
}

void CScanWindow::OnFile(const std::string& path, size_t filesDone, const CScanResult& counts) {
    std::lock_guard lock(m_mutex);
    m_shared.nDone = filesDone;
    m_shared.counts = counts;
    m_shared.strCurrent = path;
}

void CScanWindow::OnFinding(const CScanFinding& finding) {
    std::lock_guard lock(m_mutex);
    m_shared.newFindings.push_back(finding);
}

QString CScanWindow::Elapsed() const {
    const qint64 s = m_clock.elapsed() / 1000;
    return QString("Czas: %1:%2:%3")
        .arg(s / 3600, 2, 10, QChar('0'))
        .arg(s / 60 % 60, 2, 10, QChar('0'))
        .arg(s % 60, 2, 10, QChar('0'));
}

QString CScanWindow::CountsText() const {
    return m_pCounts->text();
}

QString CScanWindow::StateText() const {
    return m_pState->text();
}

void CScanWindow::Refresh() {
    Shared snapshot;
    {
        std::lock_guard lock(m_mutex);
        snapshot = m_shared;
        m_shared.newFindings.clear();
    }
    // The files dealt with, as the bar and the counts both show them.
    size_t done = snapshot.nDone;
    if (snapshot.bWalkDone || m_bFinished) {
        const int total = static_cast<int>(std::min<size_t>(snapshot.nFound, INT_MAX));
        m_pProgress->setRange(0, std::max(total, 1));
        // An empty or unreadable folder has no files: the bar says so too.
        m_pProgress->setFormat(total == 0 ? QString("0 z 0 plików") : QString("%v z %m plików"));
        // A scan that ran to its end did every file; a stopped one shows how
        // far it came.
        const bool bComplete = m_bFinished && !m_result.m_bStopped && !m_result.m_bFatal;
        done = bComplete ? static_cast<size_t>(total) : std::min<size_t>(done, total);
        m_pProgress->setValue(std::max(static_cast<int>(done), bComplete ? 1 : 0));
    }
    // Until the first file is done the engine is still loading its signatures.
    const QString current = snapshot.strCurrent.empty() && !m_bFinished
                                ? QString("Wczytywanie sygnatur…")
                                : "Plik: " + QPath(snapshot.strCurrent);
    const QFontMetrics fm(m_pCurrent->font());
    m_pCurrent->setText(
        fm.elidedText(current, Qt::ElideMiddle, std::max(100, m_pCurrent->width())));
    if (!m_bFinished)
        m_pTime->setText(Elapsed());
    const CScanResult& c = m_bFinished ? m_result : snapshot.counts;
    QString counts = QString("Pliki: %1   Zainfekowane: %2   Zmienione: %3   Błędy: %4")
                         .arg(done)
                         .arg(c.m_nInfected)
                         .arg(c.m_nChanged)
                         .arg(c.m_nErrors);
    if (c.m_nSuspicious > 0)
        counts += QString("   Podejrzane: %1").arg(c.m_nSuspicious);
    if (c.m_nSkipped > 0)
        counts += QString("   Pominięte: %1").arg(c.m_nSkipped);
    if (c.m_nUnchecked > 0)
        counts += QString("   Nie sprawdzono (brak sygnatur): %1").arg(c.m_nUnchecked);
    m_pCounts->setText(counts);
    for (const CScanFinding& f : snapshot.newFindings) {
        // Nothing done to the file: the job only logs it, as its option says.
        const QString action =
            f.m_strAction.empty() ? QStringLiteral("tylko protokół") : Q(f.m_strAction);
        auto* item = new QTreeWidgetItem(m_pFindings, {QPath(f.m_strPath), Q(f.m_strWhat), action});
        for (int column = 0; column < 3; ++column)
            item->setToolTip(column, item->text(column));
        m_pFindings->scrollToItem(item);
    }
}

void CScanWindow::ScanFinished(const CScanResult& result) {
    QMetaObject::invokeMethod(
        this, [this, result] { Finish(result); }, Qt::QueuedConnection);
}

void CScanWindow::Finish(const CScanResult& result) {
    m_result = result;
    m_bFinished = true;
    Refresh();
    m_timer.stop();
    m_pStop->setEnabled(false);
    m_pClose->setEnabled(true);
    m_pClose->setDefault(true);
    m_pClose->setFocus();
    QString state;
    if (result.m_bFatal)
        state = "Analizy nie przeprowadzono: " + Q(result.m_strFailure) + ".";
    else if (result.m_bStoppedByUser)
        state = "Analiza zatrzymana przez użytkownika.";
    else if (result.m_bStopped)
        state = "Analiza zatrzymana.";
    else if (result.m_bNoSignatures)
        state = QString("Brak sygnatur: sprawdzono tylko plik testowy, nie sprawdzono plików: %1.")
                    .arg(result.m_nUnchecked);
    else
        state = "Analiza zakończona.";
    m_pState->setText(state);
    const bool keep = m_nEndMode == 0 || (m_nEndMode == 1 && result.ExitCode() != 0);
    if (!keep || m_bStopAsked)
        close();
}

void CScanWindow::RequestStop() {
    if (m_bFinished || m_bStopAsked)
        return;
    m_pStop->setEnabled(false);
    m_pState->setText("Zatrzymywanie…");
    if (m_stop)
        m_stop();
}

void CScanWindow::closeEvent(QCloseEvent* event) {
    if (m_bFinished) {
        event->accept();
        return;
    }
    // Closing a running scan stops it; the window goes once the scan has.
    event->ignore();
    RequestStop();
    m_bStopAsked = true;
}

CScanResult RunScanInWindow(const CScanTask& task, const std::string& jobName, int endMode,
                            const std::function<void(const CScanResult&)>& onFinished) {
    CScanWindow window(jobName, endMode);
    window.SetStopHandler(task.m_stop);
    CScanResult result;
    std::thread scan([&] {
        result = task.m_run(&window);
        if (onFinished)
            onFinished(result);
        window.ScanFinished(result);
    });
    window.show();
    window.raise();
    window.activateWindow();
    // The loop ends when the window closes (after the scan, as above).
    QApplication::setQuitOnLastWindowClosed(true);
    QApplication::exec();
    scan.join();
    return result;
}
