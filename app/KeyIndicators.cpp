#include "KeyIndicators.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
// The extension's C header names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

namespace {

// The names the X keyboard extension gives the three lock indicators.
constexpr const char* kIndicatorNames[3] = {"Caps Lock", "Num Lock", "Scroll Lock"};

const char* LedSuffix(LockKey key) {
    switch (key) {
    case LockKey::Caps:
        return "::capslock";
    case LockKey::Num:
        return "::numlock";
    case LockKey::Scroll:
        return "::scrolllock";
    }
    return "";
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// xcb hands out replies allocated with malloc.
template <class T> using XReply = std::unique_ptr<T, decltype(&std::free)>;
template <class T> XReply<T> Reply(T* p) {
    return XReply<T>(p, &std::free);
}

xcb_connection_t* ApplicationXConnection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr)
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

} // namespace

CKeyIndicators::CKeyIndicators() : CKeyIndicators(ApplicationXConnection()) {}

CKeyIndicators::CKeyIndicators(xcb_connection_t* pConnection) {
    if (pConnection == nullptr || xcb_connection_has_error(pConnection) != 0)
        return;
    auto ext = Reply(xcb_xkb_use_extension_reply(
        pConnection,
        xcb_xkb_use_extension(pConnection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    if (!ext || ext->supported == 0)
        return;
    xcb_intern_atom_cookie_t cookies[3];
    for (int i = 0; i < 3; ++i)
        cookies[i] = xcb_intern_atom(
            pConnection, 1, static_cast<uint16_t>(strlen(kIndicatorNames[i])), kIndicatorNames[i]);
    for (int i = 0; i < 3; ++i) {
        auto atom = Reply(xcb_intern_atom_reply(pConnection, cookies[i], nullptr));
        m_indicatorAtoms[i] = atom ? atom->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    }
    m_pConnection = pConnection;
    m_source = Source::XServer;
}

CKeyIndicators::CKeyIndicators(std::string strLedRoot)
    : m_source(Source::Leds), m_strLedRoot(std::move(strLedRoot)) {}

bool CKeyIndicators::IsOn(LockKey key) const {
    switch (m_source) {
    case Source::XServer:
        return IsOnInXServer(key);
    case Source::Leds:
        return IsOnInLeds(key);
    case Source::None:
        break;
    }
    return false;
}

bool CKeyIndicators::IsOnInXServer(LockKey key) const {
    const xcb_atom_t atom = m_indicatorAtoms[static_cast<int>(key)];
    // A keymap without the indicator has no such lock to show.
    if (atom == XCB_ATOM_NONE || xcb_connection_has_error(m_pConnection) != 0)
        return false;
    auto reply = Reply(xcb_xkb_get_named_indicator_reply(
        m_pConnection,
        xcb_xkb_get_named_indicator(m_pConnection, XCB_XKB_ID_USE_CORE_KBD,
                                    XCB_XKB_LED_CLASS_DFLT_XI_CLASS, XCB_XKB_ID_DFLT_XI_ID, atom),
        nullptr));
    return reply && reply->found != 0 && reply->on != 0;
}

bool CKeyIndicators::IsOnInLeds(LockKey key) const {
    namespace fs = std::filesystem;
    const std::string suffix = LedSuffix(key);
    std::error_code ec;
    fs::directory_iterator it(m_strLedRoot, ec);
    if (ec)
        return false;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return false;
        if (!EndsWith(it->path().filename().string(), suffix))
            continue;
        std::ifstream in(it->path() / "brightness");
        int brightness = 0;
        if (in >> brightness && brightness > 0)
            return true;
    }
    return false;
}
