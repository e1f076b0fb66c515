#include "StringTable.h"

#include "Strings.h"

#include <algorithm>
#include <cstring>

struct CStringTable {
    const StringEntry* begin;
    const StringEntry* end;

    const char* Find(unsigned id) const {
        const StringEntry* it = std::lower_bound(
            begin, end, id, [](const StringEntry& e, unsigned key) { return e.id < key; });
        return it != end && it->id == id ? it->text : nullptr;
    }
};

namespace {
const CStringTable& ProgramTable() {
    static const CStringTable table{kStrings, kStrings + kStringCount};
    return table;
}
} // namespace

HINSTANCE GetResourceHandle() { return &ProgramTable(); }

int LoadStringA(HINSTANCE hRes, unsigned id, char* buf, int size) {
    if (buf == nullptr || size <= 0)
        return 0;
    buf[0] = '\0';
    const char* text = hRes != nullptr ? hRes->Find(id) : nullptr;
    if (text == nullptr)
        return 0;
    size_t n = std::min(std::strlen(text), static_cast<size_t>(size - 1));
    // Back off to the start of a character so a cut never leaves half of one.
    if (n < std::strlen(text))
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(buf, text, n);
    buf[n] = '\0';
    return static_cast<int>(n);
}

const char* LoadResString(unsigned id) {
    const char* text = ProgramTable().Find(id);
    return text != nullptr ? text : "";
}
