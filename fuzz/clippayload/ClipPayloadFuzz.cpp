// Feeds arbitrary bytes to the clipboard payload reader. Beyond not crashing,
// reading past the data or allocating for claimed sizes, every job it gives
// must store to bytes that read back to the same job, and a payload rebuilt
// from those jobs must read back whole.
#include "ClipPayload.h"
#include "Job.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ClipRecords split = SplitClipPayload(data, size);
    for (const ClipRecord& r : split.records)
        if (r.pData < data || r.pData + r.nSize > data + size)
            std::abort();

    ClipJobs clip = ReadClipJobs(data, size);
    if (clip.jobs.size() > split.records.size())
        std::abort();
    std::vector<std::vector<BYTE>> stored;
    for (const auto& job : clip.jobs)
        stored.push_back(job->Store());

    std::vector<BYTE> rebuilt = EncodeClipPayload(stored);
    ClipJobs again = ReadClipJobs(rebuilt.data(), rebuilt.size());
    if (!again.bComplete || again.jobs.size() != clip.jobs.size())
        std::abort();
    for (size_t i = 0; i < stored.size(); ++i)
        if (again.jobs[i]->Store() != stored[i])
            std::abort();
    return 0;
}
