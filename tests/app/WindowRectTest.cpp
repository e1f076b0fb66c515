#include "WindowRect.h"
#include "MainFrame.h"
#include "Settings.h"
#include "TempStateRoot.h"
#include "TestApp.h"
#include "VigilView.h"

#include <QApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
constexpr const char* kKey = "Software\\Kestrow\\Rampart 8\\Tempora";

class WindowRectTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        ASSERT_TRUE(m_root.IsValid());
    }
    CTempStateRoot m_root;
};
} // namespace

TEST_F(WindowRectTest, FirstStartKeepsTheDefaultPlaceAndSize) {
    CMainFrame frame;
    // As wide as the list's columns at their default widths, and never
    // narrower than before.
    EXPECT_EQ(frame.size(),
              QSize(std::max(820, CVigilView::DefaultListWidth(frame.font()) + 40), 480));
    CWindowRect rect;
    EXPECT_FALSE(RegGetWindowRect(kKey, rect));
}

TEST_F(WindowRectTest, SavedRectangleComesBackAtTheNextStart) {
    {
        CMainFrame frame;
        frame.setGeometry(40, 50, 600, 300);
        SaveWindowRect(&frame, kKey);
    }
    CWindowRect rect;
    ASSERT_TRUE(RegGetWindowRect(kKey, rect));
    EXPECT_EQ(rect.left, 40);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right, 640);
    EXPECT_EQ(rect.bottom, 350);
    CMainFrame again;
    EXPECT_EQ(again.geometry(), QRect(40, 50, 600, 300));
}

TEST_F(WindowRectTest, MaximisedWindowReturnsAsNormalWindowOfThatSize) {
    QRect maximised;
    {
        CMainFrame frame;
        frame.showMaximized();
        QApplication::processEvents();
        maximised = frame.geometry();
        SaveWindowRect(&frame, kKey);
    }
    CMainFrame again;
    EXPECT_FALSE(again.isMaximized());
    EXPECT_EQ(again.geometry(), maximised);
}

// Saved at another scale: larger than the screen and partly above it.
TEST_F(WindowRectTest, OversizedRectangleIsFittedIntoTheScreen) {
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    RegSetWindowRect(kKey, CWindowRect{avail.left() - 100, avail.top() - 60, avail.right() + 2000,
                                       avail.bottom() + 1500});
    CMainFrame frame;
    EXPECT_TRUE(avail.contains(frame.frameGeometry()))
        << frame.geometry().x() << "," << frame.geometry().y() << " " << frame.geometry().width()
        << "x" << frame.geometry().height();
    EXPECT_EQ(frame.geometry().topLeft(), avail.topLeft());

    // Within the screen a rectangle stays exactly as saved.
    RegSetWindowRect(kKey, CWindowRect{avail.left() + 30, avail.top() + 40, avail.left() + 330,
                                       avail.top() + 240});
    CMainFrame again;
    EXPECT_EQ(again.geometry(), QRect(avail.left() + 30, avail.top() + 40, 300, 200));
}

TEST_F(WindowRectTest, UnusableValuesLeaveTheWindowAlone) {
    QWidget window;
    window.setGeometry(10, 20, 300, 200);
    const QRect before = window.geometry();
    auto tryRect = [&](CWindowRect rect) {
        RegSetWindowRect(kKey, rect);
        EXPECT_FALSE(RestoreWindowRect(&window, kKey));
        EXPECT_EQ(window.geometry(), before);
    };
    tryRect({100, 100, 50, 300});              // right of left edge before it
    tryRect({100, 100, 300, 100});             // no height
    tryRect({0, 0, 2000000000, 100});          // absurd width
    tryRect({-50000, -50000, -49000, -49500}); // off every screen
    // A value of the wrong size is not read at all.
    const char shortValue[12] = {};
    RegSetBinary(HKEY_CURRENT_USER, kKey, "Fenster", shortValue, sizeof shortValue);
    EXPECT_FALSE(RestoreWindowRect(&window, kKey));
    EXPECT_FALSE(RestoreWindowRect(nullptr, kKey));
}

TEST_F(WindowRectTest, ChildWindowIsPlacedRelativeToItsParent) {
    QWidget parent;
    parent.setGeometry(100, 100, 400, 300);
    QWidget child(&parent);
    RegSetWindowRect(kKey, CWindowRect{130, 140, 230, 190});
    ASSERT_TRUE(RestoreWindowRect(&child, kKey));
    EXPECT_EQ(child.geometry(), QRect(parent.mapFromGlobal(QPoint(130, 140)), QSize(100, 50)));
    SaveWindowRect(&child, kKey);
    CWindowRect back;
    ASSERT_TRUE(RegGetWindowRect(kKey, back));
    EXPECT_EQ(back.left, 130);
    EXPECT_EQ(back.bottom, 190);
}
