#include "TestString.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// Each byte XOR 0x5A; decoded once at run time.
constexpr std::array<uint8_t, 68> kScrambled = {
    0x02, 0x6f, 0x15, 0x7b, 0x0a, 0x7f, 0x1a, 0x1b, 0x0a, 0x01, 0x6e, 0x06, 0x0a, 0x00,
    0x02, 0x6f, 0x6e, 0x72, 0x0a, 0x04, 0x73, 0x6d, 0x19, 0x19, 0x73, 0x6d, 0x27, 0x7e,
    0x1f, 0x13, 0x19, 0x1b, 0x08, 0x77, 0x09, 0x0e, 0x1b, 0x14, 0x1e, 0x1b, 0x08, 0x1e,
    0x77, 0x1b, 0x14, 0x0e, 0x13, 0x0c, 0x13, 0x08, 0x0f, 0x09, 0x77, 0x0e, 0x1f, 0x09,
    0x0e, 0x77, 0x1c, 0x13, 0x16, 0x1f, 0x7b, 0x7e, 0x12, 0x71, 0x12, 0x70};

constexpr size_t kMaxStandardFile = 128;

bool IsPadding(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1a';
}

} // namespace

const std::string& TestString() {
    static const std::string text = [] {
        volatile uint8_t key = 0x5A; // keeps the compiler from folding the text back
        std::string s(kScrambled.size(), '\0');
        for (size_t i = 0; i < kScrambled.size(); ++i)
            s[i] = static_cast<char>(kScrambled[i] ^ key);
        return s;
    }();
    return text;
}

bool IsStandardTestFile(std::string_view content) {
    const std::string& needle = TestString();
    if (content.size() > kMaxStandardFile || content.substr(0, needle.size()) != needle)
        return false;
    return std::all_of(content.begin() + needle.size(), content.end(), IsPadding);
}

CTestStringFinder::CTestStringFinder() : m_strNeedle(TestString()) {}

void CTestStringFinder::Feed(const char* data, size_t size) {
    if (m_bFound || size == 0)
        return;
    const size_t overlap = m_strNeedle.size() - 1;
    std::string_view piece(data, size);
    // A match that starts in the carried tail and ends in this piece.
    if (!m_strTail.empty()) {
        std::string joint = m_strTail;
        joint.append(piece.substr(0, overlap));
        size_t pos = joint.find(m_strNeedle);
        if (pos != std::string::npos) {
            m_bFound = true;
            m_nFirst = m_nConsumed - m_strTail.size() + pos;
            return;
        }
    }
    size_t pos = piece.find(m_strNeedle);
    if (pos != std::string_view::npos) {
        m_bFound = true;
        m_nFirst = m_nConsumed + pos;
        return;
    }
    m_nConsumed += size;
    if (size >= overlap) {
        m_strTail.assign(piece.substr(size - overlap));
    } else {
        m_strTail.append(piece);
        if (m_strTail.size() > overlap)
            m_strTail.erase(0, m_strTail.size() - overlap);
    }
}
