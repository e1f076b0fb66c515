// Reads arbitrary bytes as a job file: the reader must stop at the first
// damage without reading past the end, and every record it accepts must store
// back to exactly its own size.
#include "Job.h"
#include "JobFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CJobFileReader reader(data, size);
    if (reader.ReadHeader(JobFileSignature()) != JobFileStatus::Ok)
        return 0;
    CJob job;
    JobFileStatus status;
    while ((status = reader.ReadNext(job)) == JobFileStatus::Ok) {
        const std::vector<BYTE> stored = job.Store();
        if (static_cast<int>(stored.size()) != job.GetStoreSize())
            std::abort();
    }
    if (status == JobFileStatus::End && reader.GetRead() != reader.GetCount())
        std::abort();
    return 0;
}
