#include "InfoDlg.h"
#include "ModalSeam.h"
#include "StringTable.h"
#include "TestApp.h"

#include <QImage>
#include <QMainWindow>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {
// Sets LC_ALL for one test and restores it afterwards.
class ScopedLocaleEnv {
public:
    explicit ScopedLocaleEnv(const char* value) {
        if (const char* old = std::getenv("LC_ALL"))
            m_old = old;
        setenv("LC_ALL", value, 1);
    }
    ~ScopedLocaleEnv() {
        if (m_old)
            setenv("LC_ALL", m_old->c_str(), 1);
        else
            unsetenv("LC_ALL");
    }

private:
    std::optional<std::string> m_old;
};

const QSize kPicture(530, 258);
const QRect kScreen(0, 0, 1024, 768);
} // namespace

TEST(InfoDlgPlacement, CentresOnParentTruncatingTowardZero) {
    // (801 - 530) / 2 = 135 (135.5 truncated), (601 - 258) / 2 = 171.
    EXPECT_EQ(CInfoDlg::PlaceBox(QRect(100, 50, 801, 601), kScreen, kPicture), QPoint(235, 221));
    // A parent narrower than the picture: (501 - 530) / 2 = -14 (not -15).
    EXPECT_EQ(CInfoDlg::PlaceBox(QRect(200, 200, 501, 300), kScreen, kPicture), QPoint(186, 221));
}

TEST(InfoDlgPlacement, ClampsToTheScreen) {
    // Main window partly off the left and top edges.
    EXPECT_EQ(CInfoDlg::PlaceBox(QRect(-400, -300, 600, 400), kScreen, kPicture), QPoint(0, 0));
    // Partly off the right and bottom edges.
    EXPECT_EQ(CInfoDlg::PlaceBox(QRect(900, 700, 600, 400), kScreen, kPicture),
              QPoint(1024 - 530, 768 - 258));
    // A picture larger than the screen starts left of and above it.
    EXPECT_EQ(CInfoDlg::PlaceBox(QRect(0, 0, 400, 200), QRect(0, 0, 500, 200), kPicture),
              QPoint(-30, -58));
    // Screens that do not start at the origin keep the box on themselves.
    EXPECT_EQ(CInfoDlg::PlaceBox(QRect(1000, 0, 300, 200), QRect(1024, 0, 800, 600), kPicture),
              QPoint(1024, 0));
}

TEST(InfoDlgPicture, ChosenByDepth) {
    for (int bpp : {1, 4, 8, 14})
        EXPECT_STREQ(CInfoDlg::ChoosePicture(bpp, "de_DE.UTF-8"), "LO_INFO") << bpp;
    for (int bpp : {15, 16, 24, 32})
        EXPECT_STREQ(CInfoDlg::ChoosePicture(bpp, "de_DE.UTF-8"), "HI_INFO") << bpp;
    EXPECT_STREQ(CInfoDlg::ChoosePicture(8, "pl_PL.UTF-8"), "LO_INFO_INTERNATIONAL");
    EXPECT_STREQ(CInfoDlg::ChoosePicture(24, "pl_PL.UTF-8"), "HI_INFO_INTERNATIONAL");
}

TEST(InfoDlgPicture, ChosenByLanguage) {
    for (const char* german : {"de_DE.UTF-8", "de_AT", "de", "de_CH.ISO-8859-1@euro"})
        EXPECT_STREQ(CInfoDlg::ChoosePicture(32, german), "HI_INFO") << german;
    // No language known counts as German.
    for (const char* unknown : {"", "C", "POSIX", "C.UTF-8"})
        EXPECT_STREQ(CInfoDlg::ChoosePicture(32, unknown), "HI_INFO") << unknown;
    for (const char* other : {"pl_PL.UTF-8", "en_US.UTF-8", "fr", "dsb_DE.UTF-8"})
        EXPECT_STREQ(CInfoDlg::ChoosePicture(32, other), "HI_INFO_INTERNATIONAL") << other;
}

TEST(InfoDlgPicture, AllFourPicturesAreBuiltIn) {
    TestApp();
    for (const char* name :
         {"HI_INFO", "LO_INFO", "HI_INFO_INTERNATIONAL", "LO_INFO_INTERNATIONAL"}) {
        QImage img(QStringLiteral(":/images/%1.png").arg(name));
        ASSERT_FALSE(img.isNull()) << name;
        EXPECT_EQ(img.size(), kPicture) << name;
        if (QString(name).startsWith("LO_")) {
            EXPECT_LE(img.colorCount(), 16) << name;
            EXPECT_GT(img.colorCount(), 0) << name;
        }
        // The text area is one light plain colour.
        QRgb plain = img.pixel(300, 0);
        EXPECT_GT(qGray(plain), 200) << name;
        for (QPoint p : {QPoint(300, 257), QPoint(529, 0), QPoint(529, 257), QPoint(420, 130)})
            EXPECT_EQ(img.pixel(p), plain) << name;
    }
}

class InfoDlgWindow : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        m_pMain = std::make_unique<QMainWindow>();
        m_pMain->setGeometry(100, 80, 700, 500);
        m_pMain->show();
    }
    std::unique_ptr<QMainWindow> m_pMain;
};

TEST_F(InfoDlgWindow, OpensCentredOnTheMainWindowWithItsTexts) {
    ScopedLocaleEnv polish("pl_PL.UTF-8");
    CInfoDlg dlg;
    dlg.show();
    EXPECT_TRUE(dlg.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(dlg.size(), kPicture);
    QRect screen = m_pMain->screen()->geometry();
    EXPECT_EQ(dlg.pos(), CInfoDlg::PlaceBox(m_pMain->frameGeometry(), screen, kPicture));
    EXPECT_EQ(dlg.PictureName(),
              m_pMain->screen()->depth() >= 15 ? "HI_INFO_INTERNATIONAL" : "LO_INFO_INTERNATIONAL");
    EXPECT_EQ(dlg.Title(), QString::fromUtf8(LoadResString(174)));
    EXPECT_EQ(dlg.Credits(), QString::fromUtf8(LoadResString(175)));
    EXPECT_FALSE(dlg.Title().isEmpty());
    EXPECT_EQ(dlg.TextFont().pixelSize(), 12);
    EXPECT_EQ(dlg.TextFont().styleHint(), QFont::SansSerif);
    EXPECT_FALSE(dlg.TextFont().bold() || dlg.TextFont().italic());
}

TEST_F(InfoDlgWindow, GermanUserGetsTheGermanPicture) {
    ScopedLocaleEnv german("de_DE.UTF-8");
    CInfoDlg dlg;
    dlg.show();
    EXPECT_TRUE(dlg.PictureName() == "HI_INFO" || dlg.PictureName() == "LO_INFO");
}

TEST_F(InfoDlgWindow, DrawsThePictureWithTheTextsOnItsRightPart) {
    CInfoDlg dlg;
    dlg.show();
    QImage shot = dlg.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (const char* out = std::getenv("VEX_ABOUT_SHOT"))
        shot.save(out);
    QImage picture =
        QImage(":/images/" + dlg.PictureName() + ".png").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), picture.size());
    // The artwork on the left is copied unchanged.
    for (QPoint p : {QPoint(5, 5), QPoint(150, 125), QPoint(290, 250)})
        EXPECT_EQ(shot.pixel(p), picture.pixel(p));
    // Text leaves dark pixels inside the title and credits rectangles only.
    auto darkPixels = [&shot](const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += qGray(shot.pixel(x, y)) < 100;
        return n;
    };
    EXPECT_GT(darkPixels(CInfoDlg::TitleRect(kPicture)), 20);
    EXPECT_GT(darkPixels(CInfoDlg::CreditsRect(kPicture)), 20);
    EXPECT_EQ(darkPixels(QRect(300, 0, 230, 35)), 0);
    EXPECT_EQ(darkPixels(QRect(510, 35, 20, 223)), 0);
    // Nor do they touch the artwork: the same margin on the left.
    EXPECT_EQ(darkPixels(QRect(300, 35, 20, 223)), 0);
}

TEST_F(InfoDlgWindow, ClosesOnALeftClickAnywhereOrEscape) {
    for (QPoint where : {QPoint(10, 10), QPoint(400, 200), QPoint(529, 257)}) {
        CInfoDlg dlg;
        dlg.show();
        QTest::mouseClick(&dlg, Qt::RightButton, {}, where);
        EXPECT_TRUE(dlg.isVisible());
        QTest::mouseClick(&dlg, Qt::LeftButton, {}, where);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), IDOK);
    }
    CInfoDlg dlg;
    dlg.show();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), IDCANCEL);
}

TEST_F(InfoDlgWindow, AboutCommandShowsTheBoxModally) {
    bool seen = false;
    ScopedModalHook hook([&](QDialog& dialog) {
        auto* info = qobject_cast<CInfoDlg*>(&dialog);
        seen = info != nullptr && info->isVisible() && info->isModal();
        QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(50, 50));
        return dialog.result();
    });
    CInfoDlg::OnAppAbout();
    EXPECT_TRUE(seen);
}
