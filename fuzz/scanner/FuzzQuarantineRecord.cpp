// The quarantine's records and the allow-list lie in the state folder, where
// another process of the user may have written anything.
#include "AllowList.h"
#include "QuarantineRecord.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CAllowList allow;
    allow.Parse(text);
    CQuarantineRecord record;
    std::string error;
    if (!record.Parse(text, error))
        return 0;
    // An accepted record writes out to text that reads back to the same record.
    CQuarantineRecord back;
    if (!back.Parse(record.Serialize(), error) || !(back == record))
        std::abort();
    return 0;
}
