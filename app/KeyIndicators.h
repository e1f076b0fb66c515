#pragma once

#include <string>

// The lock keys shown in the status bar. Their state comes from the keyboard
// lights that the kernel lists under /sys/class/leds ("input3::capslock" and
// the like): the toolkit does not report lock states, the lights follow them.
enum class LockKey { Caps, Num, Scroll };

class CKeyIndicators {
public:
    explicit CKeyIndicators(std::string strLedRoot = "/sys/class/leds");

    // True when any keyboard shows the key's light; false when none does or
    // the lights cannot be read.
    bool IsOn(LockKey key) const;

private:
    std::string m_strLedRoot;
};
