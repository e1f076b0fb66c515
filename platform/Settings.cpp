#include "Settings.h"

#include <cstring>

namespace {

// Text values are read into a buffer of this many bytes, zero included.
constexpr DWORD kStringBufferSize = 260;

// An open key that closes itself.
class CKeyHolder {
public:
    CKeyHolder(HKEY hRoot, const char* pszKey, bool bCreate) {
        const LONG result =
            bCreate ? RegCreateKeyEx(hRoot, pszKey, &m_key) : RegOpenKeyEx(hRoot, pszKey, &m_key);
        if (result != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~CKeyHolder() {
        if (m_key)
            RegCloseKey(m_key);
    }
    CKeyHolder(const CKeyHolder&) = delete;
    CKeyHolder& operator=(const CKeyHolder&) = delete;

    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

bool SetValue(HKEY hRoot, const char* pszKey, const char* pszValue, DWORD dwType, const void* pData,
              DWORD cbData) {
    CKeyHolder key(hRoot, pszKey, true);
    return key.Get() && RegSetValueEx(key.Get(), pszValue, dwType, static_cast<const BYTE*>(pData),
                                      cbData) == ERROR_SUCCESS;
}

void PutI32(BYTE* p, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(u >> (8 * i));
}

std::int32_t GetI32(const BYTE* p) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return static_cast<std::int32_t>(u);
}

} // namespace

std::string RegGetString(HKEY hRoot, const char* pszKey, const char* pszValue,
                         const char* pszDefault) {
    const std::string fallback = pszDefault ? pszDefault : "";
    CKeyHolder key(hRoot, pszKey, false);
    if (!key.Get())
        return fallback;
    BYTE buf[kStringBufferSize];
    DWORD size = sizeof buf;
    if (RegQueryValueEx(key.Get(), pszValue, nullptr, buf, &size) != ERROR_SUCCESS)
        return fallback;
    const void* zero = std::memchr(buf, 0, size);
    const size_t length = zero ? static_cast<size_t>(static_cast<const BYTE*>(zero) - buf) : size;
    return std::string(reinterpret_cast<const char*>(buf), length);
}

DWORD RegGetDword(HKEY hRoot, const char* pszKey, const char* pszValue, DWORD dwDefault) {
    BYTE buf[4];
    if (!RegGetBinary(hRoot, pszKey, pszValue, buf, sizeof buf))
        return dwDefault;
    return static_cast<DWORD>(GetI32(buf));
}

void RegSetDword(HKEY hRoot, const char* pszKey, const char* pszValue, DWORD dw) {
    BYTE buf[4];
    PutI32(buf, static_cast<std::int32_t>(dw));
    SetValue(hRoot, pszKey, pszValue, REG_DWORD, buf, sizeof buf);
}

bool RegSetString(HKEY hRoot, const char* pszKey, const char* pszValue, const char* pszText) {
    const char* text = pszText ? pszText : "";
    return SetValue(hRoot, pszKey, pszValue, REG_SZ, text,
                    static_cast<DWORD>(std::strlen(text) + 1));
}

bool RegGetBinary(HKEY hRoot, const char* pszKey, const char* pszValue, void* pData, DWORD cbData) {
    CKeyHolder key(hRoot, pszKey, false);
    if (!key.Get())
        return false;
    DWORD size = 0;
    if (RegQueryValueEx(key.Get(), pszValue, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        size != cbData)
        return false;
    // Read into our own buffer: the value may change between the two calls.
    std::string buf(cbData, '\0');
    size = cbData;
    if (RegQueryValueEx(key.Get(), pszValue, nullptr, reinterpret_cast<BYTE*>(buf.data()), &size) !=
            ERROR_SUCCESS ||
        size != cbData)
        return false;
    if (cbData)
        std::memcpy(pData, buf.data(), cbData);
    return true;
}

bool RegSetBinary(HKEY hRoot, const char* pszKey, const char* pszValue, const void* pData,
                  DWORD cbData) {
    return SetValue(hRoot, pszKey, pszValue, REG_BINARY, pData, cbData);
}

bool RegGetWindowRect(const char* pszKey, CWindowRect& rect) {
    BYTE buf[16];
    if (!RegGetBinary(HKEY_CURRENT_USER, pszKey, kWindowRectValue, buf, sizeof buf))
        return false;
    rect.left = GetI32(buf);
    rect.top = GetI32(buf + 4);
    rect.right = GetI32(buf + 8);
    rect.bottom = GetI32(buf + 12);
    return true;
}

bool RegSetWindowRect(const char* pszKey, const CWindowRect& rect) {
    BYTE buf[16];
    PutI32(buf, rect.left);
    PutI32(buf + 4, rect.top);
    PutI32(buf + 8, rect.right);
    PutI32(buf + 12, rect.bottom);
    return RegSetBinary(HKEY_CURRENT_USER, pszKey, kWindowRectValue, buf, sizeof buf);
}
