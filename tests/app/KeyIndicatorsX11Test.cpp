// The status bar's lock states read from a real X server: a private Xvfb
// whose keyboard locks the test sets through the keyboard extension, as
// the keys would.
#include "KeyIndicators.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <xcb/xcb.h>
// The extension's C header names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class KeyIndicatorsX11 : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "key_indicator_tests";
        static char* argv[] = {name, nullptr};
        if (QCoreApplication::instance() == nullptr)
            m_app = std::make_unique<QCoreApplication>(argc, argv);
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty())
            GTEST_SKIP() << "Xvfb is not installed (scripts/deps installs it)";
        // -displayfd 1: the server picks a free display and prints its number
        // once it accepts connections.
        m_xvfb.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
        ASSERT_TRUE(m_xvfb.waitForStarted(5000));
        ASSERT_TRUE(m_xvfb.waitForReadyRead(10000));
        const QByteArray display = ":" + m_xvfb.readLine().trimmed();
        m_pConnection = xcb_connect(display.constData(), nullptr);
        ASSERT_EQ(xcb_connection_has_error(m_pConnection), 0);
    }

    void TearDown() override {
        if (m_pConnection != nullptr)
            xcb_disconnect(m_pConnection);
        if (m_xvfb.state() != QProcess::NotRunning) {
            m_xvfb.terminate();
            if (!m_xvfb.waitForFinished(5000))
                m_xvfb.kill();
        }
    }

    // Locks exactly the given modifiers of the core keyboard.
    void LockModifiers(uint8_t mods) {
        const uint8_t affected = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;
        xcb_void_cookie_t cookie = xcb_xkb_latch_lock_state_checked(
            m_pConnection, XCB_XKB_ID_USE_CORE_KBD, affected, mods, 0, 0, 0, 0, 0);
        xcb_generic_error_t* error = xcb_request_check(m_pConnection, cookie);
        EXPECT_EQ(error, nullptr);
        std::free(error);
    }

    std::unique_ptr<QCoreApplication> m_app;
    QProcess m_xvfb;
    xcb_connection_t* m_pConnection = nullptr;
};

} // namespace

TEST_F(KeyIndicatorsX11, LocksOfTheXServerLightThePanes) {
    CKeyIndicators indicators(m_pConnection);
    ASSERT_TRUE(indicators.IsKnown());
    EXPECT_FALSE(indicators.IsOn(LockKey::Caps));
    EXPECT_FALSE(indicators.IsOn(LockKey::Num));
    EXPECT_FALSE(indicators.IsOn(LockKey::Scroll));

    // Caps Lock locks the Lock modifier, Num Lock the second one.
    LockModifiers(XCB_MOD_MASK_LOCK);
    EXPECT_TRUE(indicators.IsOn(LockKey::Caps));
    EXPECT_FALSE(indicators.IsOn(LockKey::Num));
    LockModifiers(XCB_MOD_MASK_2);
    EXPECT_FALSE(indicators.IsOn(LockKey::Caps));
    EXPECT_TRUE(indicators.IsOn(LockKey::Num));
    LockModifiers(0);
    EXPECT_FALSE(indicators.IsOn(LockKey::Num));
}

// Without an X connection (Wayland, or no display) nothing is known and
// nothing shows as on.
TEST(KeyIndicators, NoSourceKnowsNothing) {
    CKeyIndicators none(static_cast<xcb_connection_t*>(nullptr));
    EXPECT_FALSE(none.IsKnown());
    EXPECT_FALSE(none.IsOn(LockKey::Caps));
    EXPECT_FALSE(none.IsOn(LockKey::Num));
}
