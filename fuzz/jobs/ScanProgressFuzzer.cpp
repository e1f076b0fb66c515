// A running scan's record as a scan lock file holds it: anything else is
// refused without a change, and a record that parses comes back the same
// from its written form.
#include "RunningScan.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CRunningScan before{"x", 7, 8, 9};
    CRunningScan scan = before;
    if (!ParseScanProgress(text, scan)) {
        if (scan.nPid != before.nPid || scan.nStarted != before.nStarted ||
            scan.nFiles != before.nFiles)
            std::abort();
        return 0;
    }
    CRunningScan again;
    if (scan.nPid <= 0 || !ParseScanProgress(FormatScanProgress(scan), again) ||
        again.nPid != scan.nPid || again.nStarted != scan.nStarted || again.nFiles != scan.nFiles)
        std::abort();
    return 0;
}
