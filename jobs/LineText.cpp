#include "LineText.h"

#include <QString>

#include <charconv>
#include <cstdio>

namespace {

bool IsContinuation(unsigned char b) {
    return (b & 0xc0) == 0x80;
}

// The length of the UTF-8 sequence that starts at text[0], as its first byte
// announces it; 0 for a byte that starts none.
size_t SequenceLength(unsigned char b) {
    if (b < 0x80)
        return 1;
    if (b >= 0xc2 && b <= 0xdf)
        return 2;
    if (b >= 0xe0 && b <= 0xef)
        return 3;
    return b >= 0xf0 && b <= 0xf4 ? 4 : 0;
}

// The length of the well-formed UTF-8 sequence at the start of text and its
// code point; 0 when the bytes there are no such sequence (overlong forms,
// surrogates and values past U+10FFFF included).
size_t DecodeUtf8(std::string_view text, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[0]);
    const size_t length = SequenceLength(b0);
    if (length == 0 || length > text.size())
        return 0;
    cp = length == 1 ? b0 : b0 & (0x7f >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (!IsContinuation(b))
            return 0;
        cp = (cp << 6) | (b & 0x3f);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool ok = cp >= kLeast[length] && cp <= 0x10ffff && (cp < 0xd800 || cp > 0xdfff);
    return ok ? length : 0;
}

// C1 controls and the two separators: text widgets and some terminals break
// lines there.
bool BreaksLines(char32_t cp) {
    return (cp >= 0x80 && cp <= 0x9f) || cp == 0x2028 || cp == 0x2029;
}

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    out += text;
}

// Appends the character that begins rest (at least one byte of it) as
// EscapePath writes it; returns its length in bytes.
size_t AppendNonAscii(std::string& out, std::string_view rest) {
    char32_t cp = 0;
    const size_t length = DecodeUtf8(rest, cp);
    if (length == 0) {
        AppendEscape(out, "\\x%02x", static_cast<unsigned char>(rest[0]));
        return 1;
    }
    if (BreaksLines(cp))
        AppendEscape(out, "\\u%04x", static_cast<unsigned>(cp));
    else
        out.append(rest.substr(0, length));
    return length;
}

size_t AppendEscaped(std::string& out, std::string_view rest, bool bBackslash,
                     std::string_view keep) {
    const char c = rest[0];
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80)
        return AppendNonAscii(out, rest);
    if (keep.find(c) != std::string_view::npos || (b >= 0x20 && b != 0x7f && c != '\\'))
        out += c;
    else if (c == '\\')
        out += bBackslash ? "\\\\" : "\\";
    else if (c == '\n')
        out += "\\n";
    else if (c == '\r')
        out += "\\r";
    else
        AppendEscape(out, "\\x%02x", b);
    return 1;
}

std::string Escape(std::string_view text, bool bBackslash, std::string_view keep) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        i += AppendEscaped(out, text.substr(i), bBackslash, keep);
    return out;
}

// The value of exactly nDigits hexadecimal digits at text[at]; false when
// they are not there.
bool HexAt(std::string_view text, size_t at, size_t nDigits, unsigned& value) {
    if (text.size() < at + nDigits)
        return false;
    const char* first = text.data() + at;
    const char* last = first + nDigits;
    const auto [end, error] = std::from_chars(first, last, value, 16);
    return error == std::errc() && end == last;
}

} // namespace

std::string EscapePath(std::string_view path) {
    return Escape(path, true, {});
}

std::string EscapeControls(std::string_view text, std::string_view keep) {
    return Escape(text, false, keep);
}

bool UnescapePath(std::string_view text, std::string& path) {
    path.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
        if (c != '\\') {
            path += c;
            continue;
        }
        if (++i == text.size())
            return false;
        unsigned value = 0;
        switch (text[i]) {
        case '\\':
            path += '\\';
            break;
        case 'n':
            path += '\n';
            break;
        case 'r':
            path += '\r';
            break;
        case 'x':
            if (!HexAt(text, i + 1, 2, value) || value == 0)
                return false;
            path += static_cast<char>(value);
            i += 2;
            break;
        case 'u':
            if (!HexAt(text, i + 1, 4, value) || value == 0 || (value >= 0xd800 && value <= 0xdfff))
                return false;
            path += QString(QChar(static_cast<char16_t>(value))).toStdString();
            i += 4;
            break;
        default:
            return false;
        }
    }
    return true;
}

size_t IncompleteUtf8Tail(std::string_view text) {
    for (size_t k = 1; k <= 3 && k <= text.size(); ++k) {
        const auto b = static_cast<unsigned char>(text[text.size() - k]);
        if (IsContinuation(b))
            continue;
        return SequenceLength(b) > k ? k : 0;
    }
    return 0;
}
