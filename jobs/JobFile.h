#pragma once

// The job file (".scj"): a signature in the archive's string encoding (one
// length byte for texts shorter than 255 bytes; else 0xFF and a u16 length;
// else 0xFF, 0xFFFF and a u32 length), a u32 count, and count records of a
// u32 size followed by that many bytes of a job's stored form. Little-endian,
// no trailer, no checksum.
//
// Reading works on the whole file in memory through a bounded reader: a count
// or a size larger than what the file holds allocates nothing, and a damaged
// record stops the reading there, leaving the records before it usable.

#include "SystemTime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CJob;

// Files larger than this are not read at all.
constexpr size_t kMaxJobFileSize = 64u << 20;

enum class JobFileStatus {
    Ok,
    End,            // every record announced by the count has been read
    CannotOpen,     // the file cannot be opened or read
    WrongSignature, // not a job file: other first text, empty or too short
    Damaged,        // a job file that ends early or whose record sizes disagree
};

// The signature the program writes and expects: string-table entry 166.
std::string JobFileSignature();

// The whole file for the given stored forms.
std::vector<BYTE> EncodeJobFile(const std::vector<std::vector<BYTE>>& records);

// Writes bytes to path through a temporary file beside it that is renamed
// into place, so an existing file stays whole when writing fails. On failure
// *pstrError (optional) says why.
bool SaveJobFile(const std::string& path, const std::vector<BYTE>& bytes,
                 std::string* pstrError = nullptr);

// Reads a file of at most kMaxJobFileSize bytes. CannotOpen when it cannot be
// opened or read; Damaged when it is larger than the limit.
JobFileStatus ReadFileBytes(const std::string& path, std::vector<BYTE>& out);

// Steps through the records of a job file held in memory.
class CJobFileReader {
public:
    // The bytes must outlive the reader.
    CJobFileReader(const BYTE* p, size_t n);

    // Reads and checks the signature, then the count: Ok, WrongSignature, or
    // Damaged when the count is missing.
    JobFileStatus ReadHeader(std::string_view signature);
    DWORD GetCount() const { return m_nCount; }

    // Loads the next record into job. Ok; End once the count is exhausted;
    // Damaged when the record's size runs past the end of the file, its bytes
    // do not hold a job, or the job's stored form is not exactly the record's
    // size. After Damaged every further call is Damaged as well; job then
    // holds nothing usable.
    JobFileStatus ReadNext(CJob& job);

    // Records read successfully so far.
    DWORD GetRead() const { return m_nRead; }
    // Bytes after the last record read; after End, what follows the records
    // that the count announced.
    size_t GetUnread() const { return m_n - m_pos; }

private:
    const BYTE* m_p;
    size_t m_n;
    size_t m_pos = 0;
    DWORD m_nCount = 0;
    DWORD m_nRead = 0;
    bool m_bHeader = false;
    bool m_bDamaged = false;
};
