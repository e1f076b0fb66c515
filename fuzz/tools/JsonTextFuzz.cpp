#include "JobReport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// True when s is well-formed UTF-8 (no overlong forms, surrogates or values
// above U+10FFFF).
bool IsUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        unsigned long cp = n == 1 ? c : c & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

} // namespace

// Job names and folders come from the store, which any process may fill:
// whatever their bytes, the JSON text must be valid UTF-8 without raw control
// characters, and the terminal text must carry no control characters.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string json = JsonString(text);
    if (json.size() < 2 || json.front() != '"' || json.back() != '"' || !IsUtf8(json))
        std::abort();
    for (char c : json)
        if (static_cast<unsigned char>(c) < 0x20)
            std::abort();
    const std::string plain = PlainText(text);
    if (plain.size() != text.size())
        std::abort();
    for (char c : plain)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            std::abort();
    return 0;
}
