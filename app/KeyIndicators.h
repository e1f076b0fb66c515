#pragma once

#include <cstdint>
#include <string>

struct xcb_connection_t;

// The lock keys shown in the status bar.
enum class LockKey { Caps, Num, Scroll };

// Where the status bar learns the lock states. On X they are the keyboard
// indicators of the X server (its XKB extension), which follow the locks of
// every keyboard of the session. Elsewhere (Wayland) a program has no way to
// know them, and the panes stay empty rather than show a wrong state. The
// kernel's keyboard lights under /sys/class/leds remain as a source to name
// explicitly: X sessions and virtual machines often have none.
class CKeyIndicators {
public:
    // The display's own source: the X server the application is connected
    // to, or none.
    CKeyIndicators();
    // The indicators of an X connection that outlives this object; none when
    // the connection is null, broken or lacks the keyboard extension.
    explicit CKeyIndicators(xcb_connection_t* pConnection);
    // The keyboard lights below a folder laid out as /sys/class/leds.
    explicit CKeyIndicators(std::string strLedRoot);

    // False when the lock states cannot be known at all.
    bool IsKnown() const { return m_source != Source::None; }
    // True when the key's lock is on; false when it is off or unknown.
    bool IsOn(LockKey key) const;

private:
    enum class Source { None, XServer, Leds };

    bool IsOnInXServer(LockKey key) const;
    bool IsOnInLeds(LockKey key) const;

    Source m_source = Source::None;
    xcb_connection_t* m_pConnection = nullptr;
    std::uint32_t m_indicatorAtoms[3] = {};
    std::string m_strLedRoot;
};
