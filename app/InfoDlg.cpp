#include "InfoDlg.h"

#include "ModalSeam.h"
#include "SignatureInfo.h"
#include "SignaturePane.h"
#include "StringTable.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cstdlib>

namespace {
constexpr unsigned IDS_INFO_TITLE = 174;
constexpr unsigned IDS_INFO_CREDITS = 175;
// Size of the pictures; also the size of the box when a picture is missing.
constexpr int kPictureWidth = 530;
constexpr int kPictureHeight = 258;
// The artwork fills the pictures' left part up to this column; the texts keep
// from it the margin they keep from the right edge.
constexpr int kArtworkRight = 300;
constexpr int kTextRightMargin = 20;
constexpr int kTextLeft = kArtworkRight + kTextRightMargin;
constexpr int kTitleTop = 35;
constexpr int kCreditsTop = 100;
constexpr int kSignaturesBottomMargin = 4;
const QColor kPlainBackground(0xF4, 0xF3, 0xEC);

QString ResText(unsigned id) {
    return QString::fromUtf8(LoadResString(id));
}

// The language part of a locale name: "de_DE.UTF-8@euro" -> "de".
QString LanguageOf(const QString& strLocale) {
    QString lang = strLocale;
    for (QChar stop : {QChar('_'), QChar('.'), QChar('@'), QChar('-')}) {
        int at = lang.indexOf(stop);
        if (at >= 0)
            lang.truncate(at);
    }
    return lang.toLower();
}
} // namespace

CInfoDlg::CInfoDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::FramelessWindowHint), m_pParent(pParent) {
    setModal(true);
    resize(kPictureWidth, kPictureHeight);
}

CInfoDlg::~CInfoDlg() = default;

void CInfoDlg::OnAppAbout() {
    CInfoDlg dlg;
    RunModal(dlg);
}

const char* CInfoDlg::ChoosePicture(int nBitsPerPixel, const QString& strLocale) {
    QString lang = LanguageOf(strLocale);
    // No known language ("C", "POSIX", unset) counts as German, like a failed
    // language query.
    bool german = lang.isEmpty() || lang == "c" || lang == "posix" || lang == "de";
    bool highColour = nBitsPerPixel >= 15;
    if (german)
        return highColour ? "HI_INFO" : "LO_INFO";
    return highColour ? "HI_INFO_INTERNATIONAL" : "LO_INFO_INTERNATIONAL";
}

QString CInfoDlg::UserLocaleName() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0')
            return QString::fromLocal8Bit(value);
    }
    return QString();
}

QPoint CInfoDlg::PlaceBox(const QRect& parent, const QRect& screen, const QSize& picture) {
    // C++ integer division truncates toward zero, as the placement wants.
    int x = parent.left() + (parent.width() - picture.width()) / 2;
    int y = parent.top() + (parent.height() - picture.height()) / 2;
    x = std::max(x, screen.left());
    y = std::max(y, screen.top());
    // Checked last, so a picture larger than the screen starts left of or
    // above it rather than running off its right or bottom edge.
    if (x + picture.width() > screen.left() + screen.width())
        x = screen.left() + screen.width() - picture.width();
    if (y + picture.height() > screen.top() + screen.height())
        y = screen.top() + screen.height() - picture.height();
    return QPoint(x, y);
}

QRect CInfoDlg::TitleRect(const QSize& picture) {
    return QRect(QPoint(kTextLeft, kTitleTop),
                 QPoint(picture.width() - kTextRightMargin - 1, kCreditsTop - 1));
}

QRect CInfoDlg::CreditsRect(const QSize& picture) {
    return QRect(QPoint(kTextLeft, kCreditsTop),
                 QPoint(picture.width() - kTextRightMargin - 1, picture.height() - 1));
}

void CInfoDlg::setVisible(bool visible) {
    // Everything that depends on the screen and the parent's place is worked
    // out just before the box first appears.
    if (visible && !m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

QWidget* CInfoDlg::PlacementWindow() const {
    if (m_pParent != nullptr)
        return m_pParent->window();
    QWidget* fallback = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this || !w->isVisible())
            continue;
        if (qobject_cast<QMainWindow*>(w) != nullptr)
            return w;
        if (fallback == nullptr)
            fallback = w;
    }
    return QApplication::activeWindow() != nullptr ? QApplication::activeWindow() : fallback;
}

void CInfoDlg::LoadPicture(int nBitsPerPixel) {
    m_strPicture = QString::fromLatin1(ChoosePicture(nBitsPerPixel, UserLocaleName()));
    auto pixmap = std::make_unique<QPixmap>(QStringLiteral(":/images/%1.png").arg(m_strPicture));
    if (pixmap->isNull()) {
        // A missing picture still leaves a box of the usual size with its texts.
        pixmap = std::make_unique<QPixmap>(kPictureWidth, kPictureHeight);
        pixmap->fill(kPlainBackground);
    }
    m_pBitmap = std::move(pixmap);
    m_nBitmapWidth = m_pBitmap->width();
    m_nBitmapHeight = m_pBitmap->height();
}

bool CInfoDlg::OnInitDialog() {
    QWidget* anchor = PlacementWindow();
    QScreen* screen = anchor != nullptr ? anchor->screen() : QGuiApplication::primaryScreen();
    LoadPicture(screen != nullptr ? screen->depth() : 24);

    QSize picture(m_nBitmapWidth, m_nBitmapHeight);
    QRect screenRect = screen != nullptr ? screen->geometry() : QRect(QPoint(0, 0), picture);
    QRect parentRect = anchor != nullptr ? anchor->frameGeometry() : screenRect;
    setGeometry(QRect(PlaceBox(parentRect, screenRect, picture), picture));

    m_strTitle = ResText(IDS_INFO_TITLE);
    m_strCredits = ResText(IDS_INFO_CREDITS);
    m_strSignatures = CSignaturePane::Summary(CSignatureInfo::Read(SignatureFolder()));

    m_font = QFont(QStringLiteral("Sans Serif"));
    m_font.setStyleHint(QFont::SansSerif);
    m_font.setPixelSize(12);
    m_font.setWeight(QFont::Normal);
    m_font.setItalic(false);
    m_font.setUnderline(false);
    m_font.setStrikeOut(false);
    return true;
}

void CInfoDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_pBitmap)
        painter.drawPixmap(0, 0, *m_pBitmap);
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setFont(m_font);
    QSize picture(m_nBitmapWidth, m_nBitmapHeight);
    // drawText clips to the rectangle, so text that does not fit is cut off.
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    painter.drawText(TitleRect(picture), flags, m_strTitle);
    painter.drawText(CreditsRect(picture), flags, m_strCredits);
    // Below the credits, at the foot of the same block.
    painter.drawText(CreditsRect(picture).adjusted(0, 0, 0, -kSignaturesBottomMargin),
                     Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap, m_strSignatures);
}

void CInfoDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        done(IDOK);
    QDialog::mouseReleaseEvent(event);
}

void CInfoDlg::reject() {
    done(IDCANCEL);
}
