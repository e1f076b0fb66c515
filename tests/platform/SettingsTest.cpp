#include "Settings.h"

#include "TempStateRoot.h"

#include <gtest/gtest.h>
#include <string>

namespace {

const char* const kKey = "Software\\Kestrow\\Rampart 8\\Tempora";

void PutRaw(HKEY hive, const char* name, DWORD type, const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(hive, kKey, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, name, type, reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

} // namespace

TEST(Settings, GetStringGivesTheDefaultUnlessTheTextFits260Bytes) {
    CTempStateRoot root;
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kKey, "HelpFile", "brak"), "brak");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kKey, "HelpFile", nullptr), "");

    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kKey, "HelpFile", "/usr/share/pomoc.html"));
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kKey, "HELPFILE", "brak"), "/usr/share/pomoc.html");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kKey, "vexexe", ""), "");
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, kKey, "HelpFile", "x"), "x");

    const std::string fits(259, 'a');
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kKey, "vexexe", fits.c_str()));
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kKey, "vexexe", "d"), fits);
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kKey, "vexexe", (fits + "b").c_str()));
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kKey, "vexexe", "d"), "d");
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, kKey, "vexexe", std::string(300, 'c').c_str()));
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kKey, "vexexe", "d"), "d");

    // The type is not checked; data without a zero is taken whole.
    PutRaw(HKEY_LOCAL_MACHINE, "raw", REG_BINARY, "abc");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kKey, "raw", "d"), "abc");
    PutRaw(HKEY_LOCAL_MACHINE, "raw", REG_BINARY, std::string("ab\0cd", 5));
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, kKey, "raw", "d"), "ab");
}

TEST(Settings, DwordsReadFourBytesOfAnyTypeAndOtherwiseTheDefault) {
    CTempStateRoot root;
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kKey, "cdm", 7u), 7u);
    RegSetDword(HKEY_CURRENT_USER, kKey, "SortCol", 0xFFFFFFFEu);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kKey, "sortcol", 7u), 0xFFFFFFFEu);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kKey, "cdm", 7u), 7u);

    PutRaw(HKEY_CURRENT_USER, "Nazwa", REG_BINARY, std::string("\x01\x02\x03\x04", 4));
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kKey, "Nazwa", 0u), 0x04030201u);
    PutRaw(HKEY_CURRENT_USER, "Nazwa", REG_DWORD, std::string("\x01\x02", 2));
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kKey, "Nazwa", 9u), 9u);
    PutRaw(HKEY_CURRENT_USER, "Nazwa", REG_DWORD, std::string("\x01\x02\x03\x04\x05", 5));
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, kKey, "Nazwa", 9u), 9u);
}

TEST(Settings, WindowRectangleRoundTripsAsSixteenLittleEndianBytes) {
    CTempStateRoot root;
    CWindowRect rect;
    EXPECT_FALSE(RegGetWindowRect(kKey, rect));
    ASSERT_TRUE(RegSetWindowRect(kKey, {-8, 20, 1928, 1050}));
    ASSERT_TRUE(RegGetWindowRect(kKey, rect));
    EXPECT_EQ(rect.left, -8);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right, 1928);
    EXPECT_EQ(rect.bottom, 1050);

    BYTE raw[16] = {};
    ASSERT_TRUE(RegGetBinary(HKEY_CURRENT_USER, kKey, "Fenster", raw, sizeof raw));
    EXPECT_EQ(raw[0], 0xF8);
    EXPECT_EQ(raw[3], 0xFF);
    EXPECT_EQ(raw[8], 0x88); // 1928 = 0x788
    EXPECT_EQ(raw[9], 0x07);

    // A value of another size is not a rectangle, and the helpers keep to HKCU.
    PutRaw(HKEY_CURRENT_USER, "Fenster", REG_BINARY, std::string(12, '\1'));
    rect = {1, 2, 3, 4};
    EXPECT_FALSE(RegGetWindowRect(kKey, rect));
    EXPECT_EQ(rect.right, 3);
    EXPECT_FALSE(RegGetBinary(HKEY_LOCAL_MACHINE, kKey, "Fenster", raw, sizeof raw));
}
