#include "HelpViewDlg.h"

#include "StringTable.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

enum : unsigned {
    kTextClose = 301,
    kTitle = 390,
    kTextBack = 391,
    kTextContents = 392,
};

constexpr int kInitialWidth = 760;
constexpr int kInitialHeight = 560;
constexpr int kQueryTimeoutMs = 3000;

// The browsers xdg-open tries when no application is set for a page.
constexpr const char* kFallbackBrowsers[] = {
    "x-www-browser", "firefox",  "firefox-esr", "chromium", "chromium-browser",
    "google-chrome", "epiphany", "konqueror",   "falkon",   "www-browser"};

QString DefaultHtmlApplication() {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return QString();
    QProcess query;
    query.start(xdgMime,
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished();
        return QString();
    }
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

} // namespace

bool CHelpViewDlg::DesktopOpensHtml() {
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return false;
    if (!DefaultHtmlApplication().isEmpty())
        return true;
    // $BROWSER is a colon-separated list of commands, each perhaps with "%s".
    for (const QString& entry : qEnvironmentVariable("BROWSER").split(QLatin1Char(':'))) {
        const QString program = entry.section(QLatin1Char(' '), 0, 0);
        if (!program.isEmpty() && !QStandardPaths::findExecutable(program).isEmpty())
            return true;
    }
    for (const char* browser : kFallbackBrowsers)
        if (!QStandardPaths::findExecutable(QString::fromLatin1(browser)).isEmpty())
            return true;
    return false;
}

CHelpViewDlg::CHelpViewDlg(const QString& strIndexPath, QWidget* pParent)
    : QDialog(pParent), m_pBrowser(new QTextBrowser(this)),
      m_pBack(new QPushButton(QString::fromUtf8(LoadResString(kTextBack)), this)),
      m_strIndexPath(strIndexPath) {
    setWindowTitle(QString::fromUtf8(LoadResString(kTitle)));
    setSizeGripEnabled(true);
    // Pages of the help folder open here; anything else (a web address)
    // is the desktop's.
    m_pBrowser->setOpenExternalLinks(true);
    m_pBrowser->setSearchPaths({QFileInfo(strIndexPath).absolutePath()});
    m_pBrowser->setSource(QUrl::fromLocalFile(strIndexPath));

    auto* contents = new QPushButton(QString::fromUtf8(LoadResString(kTextContents)), this);
    auto* close = new QPushButton(QString::fromUtf8(LoadResString(kTextClose)), this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_pBack, QDialogButtonBox::ActionRole);
    buttons->addButton(contents, QDialogButtonBox::ActionRole);
    buttons->addButton(close, QDialogButtonBox::RejectRole);
    close->setDefault(true);
    m_pBack->setEnabled(false);
    connect(m_pBack, &QPushButton::clicked, m_pBrowser, &QTextBrowser::backward);
    connect(m_pBrowser, &QTextBrowser::backwardAvailable, m_pBack, &QPushButton::setEnabled);
    connect(contents, &QPushButton::clicked, this,
            [this] { m_pBrowser->setSource(QUrl::fromLocalFile(m_strIndexPath)); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pBrowser);
    layout->addWidget(buttons);
    resize(kInitialWidth, kInitialHeight);
}
