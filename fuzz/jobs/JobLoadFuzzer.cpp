// Job records from outside (store, job files, clipboard): a record is either
// refused without any change to the job, or it loads, and then its stored
// form loads again into exactly the same bytes.
#include "Job.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CJob job;
    job.SetName("before");
    job.SetRowIndex(4);
    const std::vector<BYTE> before = job.Store();

    if (!job.Load(data, size)) {
        if (job.Store() != before)
            std::abort(); // a refused record changed the job
        return 0;
    }
    if (job.GetRowIndex() != 4)
        std::abort();

    // Normalising (flags to 0 or 1, texts cut at their first zero) shrinks a
    // record; only a text stored without its zero byte gains that byte back,
    // and a record holds three texts (name, class name, directory).
    const std::vector<BYTE> stored = job.Store();
    if (stored.size() > size + 3)
        std::abort();

    CJob again;
    if (!again.Load(stored.data(), stored.size()) || again.Store() != stored)
        std::abort();
    if (again.IsActive() != job.IsActive() || !again.GetPeriod()->IsEqual(*job.GetPeriod()))
        std::abort();

    // The texts must not crash on whatever the record holds.
    job.GetPeriodText(GetResourceHandle());
    job.GetNextStartText(GetResourceHandle(), true);
    job.GetNextStartText(GetResourceHandle(), false);
    job.GetLastStartText();
    job.GetSecondsToNextStart(0);
    job.GetLastStartSeconds();
    return 0;
}
