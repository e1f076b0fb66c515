#include "KeyIndicators.h"

#include <filesystem>
#include <fstream>
#include <system_error>

CKeyIndicators::CKeyIndicators(std::string strLedRoot) : m_strLedRoot(std::move(strLedRoot)) {}

namespace {
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
} // namespace

bool CKeyIndicators::IsOn(LockKey key) const {
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
