#include "ClipPayload.h"

#include "ByteReader.h"
#include "Job.h"

#include <cstdint>

std::vector<BYTE> EncodeClipPayload(const std::vector<std::vector<BYTE>>& records) {
    size_t total = 4;
    for (const auto& r : records)
        total += 4 + r.size();
    std::vector<BYTE> out(total);
    BYTE* p = out.data();
    PutI32(p, static_cast<std::int32_t>(records.size()));
    for (const auto& r : records) {
        PutU32(p, static_cast<DWORD>(r.size()));
        PutBytes(p, r.data(), r.size());
    }
    return out;
}

ClipRecords SplitClipPayload(const BYTE* p, size_t n) {
    ClipRecords result;
    CByteReader in(p, n);
    std::int32_t count = 0;
    if (!in.ReadI32(count)) {
        result.bComplete = false;
        return result;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        DWORD length = 0;
        // The length is checked against what remains before anything is
        // taken, so a length beyond the data ends the reading right there.
        if (!in.ReadU32(length) || length > in.Remaining()) {
            result.bComplete = false;
            break;
        }
        result.records.push_back({in.Current(), length});
        in.Skip(length);
    }
    return result;
}

ClipJobs ReadClipJobs(const BYTE* p, size_t n) {
    ClipJobs result;
    ClipRecords split = SplitClipPayload(p, n);
    result.bComplete = split.bComplete;
    for (const ClipRecord& record : split.records) {
        auto job = std::make_unique<CJob>();
        if (!job->Load(record.pData, record.nSize)) {
            // The stored form disagrees with its record's length: the jobs
            // before it stand, nothing after it is trusted.
            result.bComplete = false;
            break;
        }
        result.jobs.push_back(std::move(job));
    }
    return result;
}
