#pragma once

// The clipboard payload that carries jobs between job lists, within one
// program or between running copies: a signed 32-bit count (0 or less: no
// jobs), then for each job a u32 length and that many bytes of the job's
// stored form. Little-endian, no header, no terminator. The block holding it
// may be longer than the payload; what follows the last record is ignored.

#include "SystemTime.h"

#include <cstddef>
#include <memory>
#include <vector>

class CJob;

// Where one record's stored form lies inside a payload.
struct ClipRecord {
    const BYTE* pData;
    size_t nSize;
};

// The records of a payload up to the first damage. bComplete is false when
// the payload ended before its count was satisfied or a length ran past the
// end of the data; the records before that point are still given.
struct ClipRecords {
    std::vector<ClipRecord> records;
    bool bComplete = true;
};

// The jobs of a payload up to the first damage; bComplete as above, and also
// false when a record's bytes do not hold a job.
struct ClipJobs {
    std::vector<std::unique_ptr<CJob>> jobs;
    bool bComplete = true;
};

// Builds a payload from stored forms, count first.
std::vector<BYTE> EncodeClipPayload(const std::vector<std::vector<BYTE>>& records);

// Splits a payload into its records without copying them. Reads nothing
// past n bytes and allocates only for records that are really there, so a
// huge count or length costs nothing.
ClipRecords SplitClipPayload(const BYTE* p, size_t n);

// Loads the jobs of a payload.
ClipJobs ReadClipJobs(const BYTE* p, size_t n);
