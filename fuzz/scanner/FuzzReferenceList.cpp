// A reference list is read back from the state folder, where it may have been
// damaged or tampered with.
#include "ReferenceList.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CReferenceList list;
    std::string error;
    if (!list.Parse(reinterpret_cast<const char*>(data), size, error))
        return 0;
    // An accepted list writes out to text that reads back to the same list.
    std::string text = list.Serialize();
    CReferenceList back;
    if (!back.Parse(text.data(), text.size(), error) || !(back == list))
        std::abort();
    return 0;
}
