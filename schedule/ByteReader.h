#pragma once

#include "SystemTime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Bounded little-endian reader over bytes that come from outside (registry
// values, job files, the clipboard). Every read checks what remains first; a
// read that does not fit fails and consumes nothing, so a caller can reject a
// short record without ever touching memory past its end.
class CByteReader {
public:
    CByteReader(const BYTE* p, size_t n) : m_p(p), m_n(p != nullptr ? n : 0) {}

    bool ReadU8(BYTE& v);
    bool ReadU16(WORD& v);
    bool ReadU32(DWORD& v);
    bool ReadI32(std::int32_t& v);
    // One byte; true when it is not 0.
    bool ReadBool(bool& v);
    bool ReadBytes(void* out, size_t n);
    bool ReadSystemTime(SYSTEMTIME& v);
    // The stored text form: a u32 N that counts the terminating zero, then N
    // bytes. The text is the bytes up to the first zero among them, or all N
    // when there is none. Fails, without allocating, when N exceeds what remains.
    bool ReadText(std::string& out);
    bool Skip(size_t n);

    size_t Remaining() const { return m_n - m_pos; }
    size_t Consumed() const { return m_pos; }
    const BYTE* Current() const { return m_p + m_pos; }

private:
    const BYTE* m_p;
    size_t m_n;
    size_t m_pos = 0;
};

// Writers for the same forms. Each writes at p and moves p past what it wrote;
// the caller has sized the buffer beforehand.
void PutU8(BYTE*& p, BYTE v);
void PutU16(BYTE*& p, WORD v);
void PutU32(BYTE*& p, DWORD v);
void PutI32(BYTE*& p, std::int32_t v);
// Written as 0 or 1.
void PutBool(BYTE*& p, bool v);
void PutBytes(BYTE*& p, const void* src, size_t n);
void PutSystemTime(BYTE*& p, const SYSTEMTIME& v);
// u32 N = text length + 1, the text, a zero byte.
void PutText(BYTE*& p, std::string_view text);

// Bytes that PutText writes for text.
inline size_t TextStoreSize(std::string_view text) {
    return 4 + text.size() + 1;
}
