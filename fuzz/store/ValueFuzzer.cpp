// Value data from outside (another program may write anything into the job
// key or the settings key): the store and the settings helpers read it within
// its bounds and give exactly what their rules say.

#include "FuzzRoot.h"
#include "Job.h"
#include "RegInterface.h"
#include "Registry.h"
#include "Settings.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

const char* const kTempora = "Software\\Kestrow\\Rampart 8\\Tempora";

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

HKEY OpenKey(HKEY hive, const char* path) {
    HKEY key = nullptr;
    RegCreateKeyEx(hive, path, &key);
    return key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStateRoot();
    static HKEY jobs = OpenKey(HKEY_LOCAL_MACHINE, kJobKeyPath);
    static HKEY settings = OpenKey(HKEY_CURRENT_USER, kTempora);
    static CRegInterface store;
    if (!jobs || !settings || (!store.IsOpen() && !store.Open(kJobKeyPath)))
        return 0;
    const auto cb = static_cast<DWORD>(size);

    if (RegSetValueEx(jobs, "job", REG_BINARY, data, cb) == ERROR_SUCCESS) {
        CJob job;
        const bool bRead = store.ReadJob("job", &job);
        DWORD index = 0;
        CJob listed;
        Check(store.EnumJob(&index, &listed) == bRead);
        Check(!bRead || std::strcmp(job.GetName(), listed.GetName()) == 0);
    }

    if (RegSetValueEx(settings, "value", REG_BINARY, data, cb) != ERROR_SUCCESS)
        return 0;
    const std::string text = RegGetString(HKEY_CURRENT_USER, kTempora, "value", "\x01");
    if (size <= 260) {
        const void* zero = std::memchr(data, 0, size);
        const size_t len =
            zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : size;
        Check(text == std::string(reinterpret_cast<const char*>(data), len));
    } else {
        Check(text == "\x01");
    }
    const DWORD number = RegGetDword(HKEY_CURRENT_USER, kTempora, "value", 0xDEADBEEF);
    if (size == 4)
        Check(number ==
              (data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24));
    else
        Check(number == 0xDEADBEEF);
    CWindowRect rect;
    Check(RegGetBinary(HKEY_CURRENT_USER, kTempora, "value", &rect, 16) == (size == 16));
    return 0;
}
