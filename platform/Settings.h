#pragma once

// Helpers for the program's own settings: small values under a key of one of
// the hives. They never report failures to the user: reads give their
// defaults, writes that cannot be made are skipped.

#include "Registry.h"

#include <cstdint>
#include <string>

// The key of the application's own settings, in both hives (string-table
// entry 141 holds the same path for the window).
inline constexpr const char* kSettingsKeyPath = "Software\\Kestrow\\Rampart 8\\Tempora";

// The scanner's signature folder: the value "Signatures" of the settings key,
// written by the installation with the folder that the signature updater keeps.
inline constexpr const char* kSignaturesValue = "Signatures";
inline constexpr const char* kDefaultSignatureFolder = "/var/lib/clamav";
// Machine value (DWORD): 0 turns the scanner's verdict cache off; absent or
// anything else leaves it on.
inline constexpr const char* kVerdictCacheValue = "VerdictCache";

// The text of a value of at most 260 bytes (its data up to the first zero
// byte; the type is not checked). Missing key or value, or longer data: the
// default (null counts as "").
std::string RegGetString(HKEY hRoot, const char* pszKey, const char* pszValue,
                         const char* pszDefault);

// A value of exactly four bytes of any type, read as a little-endian number;
// anything else gives the default.
DWORD RegGetDword(HKEY hRoot, const char* pszKey, const char* pszValue, DWORD dwDefault);

// Writes a REG_DWORD, creating the key when needed.
void RegSetDword(HKEY hRoot, const char* pszKey, const char* pszValue, DWORD dw);

// Writes a REG_SZ with its terminating zero, creating the key when needed.
bool RegSetString(HKEY hRoot, const char* pszKey, const char* pszValue, const char* pszText);

// Reads a value that holds exactly cbData bytes. False (and pData untouched)
// when the key or value is missing or its size differs.
bool RegGetBinary(HKEY hRoot, const char* pszKey, const char* pszValue, void* pData, DWORD cbData);

// Writes a REG_BINARY, creating the key when needed.
bool RegSetBinary(HKEY hRoot, const char* pszKey, const char* pszValue, const void* pData,
                  DWORD cbData);

// The main window's rectangle in screen coordinates, kept under the current
// user as the 16-byte value "Fenster": four little-endian i32.
struct CWindowRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

inline constexpr const char* kWindowRectValue = "Fenster";

bool RegGetWindowRect(const char* pszKey, CWindowRect& rect);
bool RegSetWindowRect(const char* pszKey, const CWindowRect& rect);
