// A hive database file from outside: opening it, enumerating and reading its
// values through the registry, the job store and the settings helpers, and
// writing into it, must fail cleanly and never read out of bounds.

#include "FuzzRoot.h"
#include "Job.h"
#include "RegInterface.h"
#include "Registry.h"
#include "Settings.h"

#include <cstdint>
#include <cstring>
#include <fstream>

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

void WalkValues(HKEY key) {
    for (DWORD i = 0; i < 256; ++i) {
        char name[300];
        DWORD nameLen = sizeof name;
        BYTE data[512];
        DWORD size = sizeof data;
        DWORD type = 0;
        const LONG result = RegEnumValue(key, i, name, &nameLen, &type, data, &size);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
            return;
        if (result == ERROR_SUCCESS) {
            Check(nameLen < sizeof name && name[nameLen] == '\0' && size <= sizeof data);
            DWORD querySize = 0;
            RegQueryValueEx(key, name, &type, nullptr, &querySize);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStateRoot();
    const std::string hive = RegHivePath(HKEY_LOCAL_MACHINE);
    std::filesystem::remove(hive + "-journal");
    {
        std::ofstream out(hive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key) == ERROR_SUCCESS) {
        WalkValues(key);
        RegSetValueEx(key, "fuzz", REG_BINARY, data, static_cast<DWORD>(size < 64 ? size : 64));
        RegReplaceValue(key, "fuzz", "Fuzz", REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
        RegDeleteValue(key, "Test");
        RegCloseKey(key);
    }

    CRegInterface store;
    if (store.Open(kJobKeyPath)) {
        CJob job;
        DWORD index = 0;
        for (int n = 0; n < 256 && store.EnumJob(&index, &job); ++n) {
        }
        store.ReadJob("Test", &job);
        store.SetJobActive("Test", false);
    }
    const char* const tempora = "Software\\Kestrow\\Rampart 8\\Tempora";
    Check(RegGetString(HKEY_LOCAL_MACHINE, tempora, "vexexe", "").size() < 260);
    RegGetDword(HKEY_LOCAL_MACHINE, tempora, "cdm", 0);
    return 0;
}
