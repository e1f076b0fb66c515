#include "LogViewDlg.h"

#include "LineText.h"
#include "LogRuns.h"
#include "ModalSeam.h"
#include "ScanPaths.h"
#include "StatePaths.h"
#include "StringTable.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace {

enum : unsigned {
    kTitleFormat = 287, // "%s": the job
    kTextNoLog = 288,
    kTextCutOff = 289,
    kTextClose = 301,
};

constexpr int kInitialWidth = 720;
constexpr int kInitialHeight = 460;

} // namespace

CLogViewDlg::CLogViewDlg(const std::string& strJobName, QWidget* pParent)
    : QDialog(pParent), m_pText(new QPlainTextEdit(this)),
      m_pClose(new QPushButton(QString::fromUtf8(LoadResString(kTextClose)), this)) {
    QString title = QString::fromUtf8(LoadResString(kTitleFormat));
    title.replace(QStringLiteral("%s"), QString::fromStdString(EscapeControls(strJobName)));
    setWindowTitle(title);
    setSizeGripEnabled(true);

    m_pText->setReadOnly(true);
    m_pText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_pText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_pClose, QDialogButtonBox::RejectRole);
    m_pClose->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pText);
    layout->addWidget(buttons);
    LoadLog(CScanPaths::ForJob(StateRoot(), strJobName).m_strLog);
    resize(FittingWidth(), kInitialHeight);
}

// Wide enough for the longest line (summary lines are long), so that nothing
// scrolls sideways, but never wider than the screen.
int CLogViewDlg::FittingWidth() const {
    const QString text = m_pText->toPlainText();
    qsizetype longestStart = 0, longestLength = 0;
    for (qsizetype start = 0; start <= text.size();) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        if (end - start > longestLength) {
            longestStart = start;
            longestLength = end - start;
        }
        start = end + 1;
    }
    const QFontMetrics metrics(m_pText->font());
    const int textWidth = metrics.horizontalAdvance(text.mid(longestStart, longestLength));
    const QMargins margins = layout()->contentsMargins();
    const int chrome = margins.left() + margins.right() + 2 * m_pText->frameWidth() +
                       static_cast<int>(2 * m_pText->document()->documentMargin()) +
                       m_pText->verticalScrollBar()->sizeHint().width() +
                       metrics.averageCharWidth();
    const QScreen* pScreen = screen();
    const int screenWidth = pScreen ? pScreen->availableGeometry().width() : kInitialWidth;
    return std::clamp(textWidth + chrome, std::min(kInitialWidth, screenWidth), screenWidth);
}

void CLogViewDlg::LoadLog(const std::string& strLogPath) {
    m_strPath = QString::fromStdString(strLogPath);
    std::string text;
    bool bTruncated = false;
    const std::vector<CLogPiece> pieces = FindLogRuns(strLogPath, 0);
    if (pieces.empty() || !ReadLogPieces(pieces, kMaxBytes, text, bTruncated)) {
        m_pText->setPlainText(QString::fromUtf8(LoadResString(kTextNoLog)));
        return;
    }
    // The scanner escapes what it writes; a log of an older version may hold
    // a name with a separator or a control character, which the text field
    // would show as a line of its own.
    QString shown = QString::fromStdString(EscapeControls(text, "\n\t"));
    if (bTruncated)
        shown.prepend(QString::fromUtf8(LoadResString(kTextCutOff)) + QLatin1Char('\n'));
    m_pText->setPlainText(shown);
    ScrollToEnd();
}

void CLogViewDlg::ScrollToEnd() {
    m_pText->moveCursor(QTextCursor::End);
    m_pText->verticalScrollBar()->setValue(m_pText->verticalScrollBar()->maximum());
    m_pText->horizontalScrollBar()->setValue(0);
}

void CLogViewDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    // Only now is the text laid out and the scroll range known.
    ScrollToEnd();
}

int CLogViewDlg::DoModal() {
    return RunModal(*this);
}
