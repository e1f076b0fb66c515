#include "ByteReader.h"

#include <cstring>

bool CByteReader::ReadBytes(void* out, size_t n) {
    if (n > Remaining())
        return false;
    if (n > 0)
        std::memcpy(out, m_p + m_pos, n);
    m_pos += n;
    return true;
}

bool CByteReader::ReadU8(BYTE& v) {
    return ReadBytes(&v, 1);
}

bool CByteReader::ReadU16(WORD& v) {
    BYTE b[2];
    if (!ReadBytes(b, sizeof b))
        return false;
    v = static_cast<WORD>(b[0] | (b[1] << 8));
    return true;
}

bool CByteReader::ReadU32(DWORD& v) {
    BYTE b[4];
    if (!ReadBytes(b, sizeof b))
        return false;
    v = static_cast<DWORD>(b[0]) | static_cast<DWORD>(b[1]) << 8 | static_cast<DWORD>(b[2]) << 16 |
        static_cast<DWORD>(b[3]) << 24;
    return true;
}

bool CByteReader::ReadI32(std::int32_t& v) {
    DWORD u;
    if (!ReadU32(u))
        return false;
    v = static_cast<std::int32_t>(u);
    return true;
}

bool CByteReader::ReadBool(bool& v) {
    BYTE b;
    if (!ReadU8(b))
        return false;
    v = b != 0;
    return true;
}

bool CByteReader::ReadSystemTime(SYSTEMTIME& v) {
    if (Remaining() < 16)
        return false;
    SYSTEMTIME st;
    ReadU16(st.wYear);
    ReadU16(st.wMonth);
    ReadU16(st.wDayOfWeek);
    ReadU16(st.wDay);
    ReadU16(st.wHour);
    ReadU16(st.wMinute);
    ReadU16(st.wSecond);
    ReadU16(st.wMilliseconds);
    v = st;
    return true;
}

bool CByteReader::ReadText(std::string& out) {
    // Look at the length before taking anything, so a failed read consumes
    // nothing and a huge length allocates nothing.
    if (Remaining() < 4)
        return false;
    const BYTE* p = m_p + m_pos;
    const size_t n = static_cast<size_t>(p[0]) | static_cast<size_t>(p[1]) << 8 |
                     static_cast<size_t>(p[2]) << 16 | static_cast<size_t>(p[3]) << 24;
    if (n > Remaining() - 4)
        return false;
    const char* text = reinterpret_cast<const char*>(p + 4);
    const void* zero = n > 0 ? std::memchr(text, 0, n) : nullptr;
    out.assign(text, zero != nullptr ? static_cast<const char*>(zero) - text : n);
    m_pos += 4 + n;
    return true;
}

bool CByteReader::Skip(size_t n) {
    if (n > Remaining())
        return false;
    m_pos += n;
    return true;
}

void PutBytes(BYTE*& p, const void* src, size_t n) {
    if (n > 0)
        std::memcpy(p, src, n);
    p += n;
}

void PutU8(BYTE*& p, BYTE v) {
    *p++ = v;
}

void PutU16(BYTE*& p, WORD v) {
    *p++ = static_cast<BYTE>(v);
    *p++ = static_cast<BYTE>(v >> 8);
}

void PutU32(BYTE*& p, DWORD v) {
    for (int i = 0; i < 4; ++i)
        *p++ = static_cast<BYTE>(v >> (8 * i));
}

void PutI32(BYTE*& p, std::int32_t v) {
    PutU32(p, static_cast<DWORD>(v));
}

void PutBool(BYTE*& p, bool v) {
    PutU8(p, v ? 1 : 0);
}

void PutSystemTime(BYTE*& p, const SYSTEMTIME& v) {
    PutU16(p, v.wYear);
    PutU16(p, v.wMonth);
    PutU16(p, v.wDayOfWeek);
    PutU16(p, v.wDay);
    PutU16(p, v.wHour);
    PutU16(p, v.wMinute);
    PutU16(p, v.wSecond);
    PutU16(p, v.wMilliseconds);
}

void PutText(BYTE*& p, std::string_view text) {
    PutU32(p, static_cast<DWORD>(text.size() + 1));
    PutBytes(p, text.data(), text.size());
    PutU8(p, 0);
}
