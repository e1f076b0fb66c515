// Result values from the job store: a value is either refused without any
// change to the result, or it loads, and its stored form then loads again into
// the same result. Its texts never fail, whatever the numbers.
#include "JobResult.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CJobResult before = CJobResult::NotStarted(1234);
    CJobResult result = before;
    if (!result.Load(data, size)) {
        if (!(result == before))
            std::abort(); // a refused value changed the result
        return 0;
    }
    const std::vector<BYTE> stored = result.Store();
    CJobResult again;
    if (!again.Load(stored.data(), stored.size()) || !(again == result))
        std::abort();
    if (result.GetText().empty())
        std::abort();
    (void)result.GetFinishedIso();
    (void)JobResultLess(&result, &before);
    return 0;
}
