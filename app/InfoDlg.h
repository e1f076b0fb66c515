#pragma once

// The about box: a borderless modal window showing one picture, chosen by the
// screen's colour depth and the user's language, with the title and credits
// texts drawn over its plain right part and the signatures' state at their
// foot. A click or Escape closes it.

#include <QDialog>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

class CInfoDlg : public QDialog {
    Q_OBJECT
public:
    // With no parent the box is centred on the application's main window.
    explicit CInfoDlg(QWidget* pParent = nullptr);
    ~CInfoDlg() override;

    // Shows the box modally over the application's main window (the about
    // command's handler).
    static void OnAppAbout();

    // Name of the picture resource for a screen depth and a locale name such
    // as "de_DE.UTF-8" (empty, "C" or "POSIX": no language known).
    static const char* ChoosePicture(int nBitsPerPixel, const QString& strLocale);
    // The user's locale for messages: LC_ALL, else LC_MESSAGES, else LANG.
    static QString UserLocaleName();
    // Top-left corner of the box: centred on the parent's rectangle, then
    // kept inside the screen (the right and bottom edges win when the
    // picture is larger than the screen).
    static QPoint PlaceBox(const QRect& parent, const QRect& screen, const QSize& picture);

    // Rectangles of the two text blocks for a picture of the given size.
    static QRect TitleRect(const QSize& picture);
    static QRect CreditsRect(const QSize& picture);

    QString PictureName() const { return m_strPicture; }
    const QFont& TextFont() const { return m_font; }
    QString Title() const { return m_strTitle; }
    QString Credits() const { return m_strCredits; }
    // The signatures' version, build date and count (or their absence).
    QString Signatures() const { return m_strSignatures; }

    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

public slots:
    // Escape closes the box with the cancel answer (2).
    void reject() override;

private:
    bool OnInitDialog();
    void LoadPicture(int nBitsPerPixel);
    QWidget* PlacementWindow() const;

    QWidget* m_pParent;
    std::unique_ptr<QPixmap> m_pBitmap;
    int m_nBitmapWidth = 0;
    int m_nBitmapHeight = 0;
    QString m_strTitle;
    QString m_strCredits;
    QString m_strSignatures;
    QFont m_font;
    QString m_strPicture;
    bool m_bInitialised = false;
};
