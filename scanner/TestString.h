#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The industry's harmless antivirus test file: a 68-byte string that every
// scanner reports as a virus. It is kept scrambled in the binary so that this
// program's own files are not reported by other scanners.
const std::string& TestString();

// True when the bytes are the standard test file: the string at the very
// start, followed by nothing but blanks, tabs, line ends or ^Z, at most 128
// bytes in all.
bool IsStandardTestFile(std::string_view content);

// Finds the test string in a stream of bytes fed in pieces, without keeping
// more than one string length of the stream.
class CTestStringFinder {
public:
    CTestStringFinder();
    void Feed(const char* data, size_t size);
    bool Found() const { return m_bFound; }
    // Offset of the first match in the stream (valid when Found()).
    size_t FirstOffset() const { return m_nFirst; }

private:
    const std::string& m_strNeedle;
    std::string m_strTail; // last bytes of the stream, shorter than the needle
    size_t m_nConsumed = 0;
    size_t m_nFirst = 0;
    bool m_bFound = false;
};
