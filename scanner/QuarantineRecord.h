#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

// What the quarantine knows of one file it holds, kept in a small text file
// beside it: a first line "vex-quarantine 1", then one "key value" line per
// field. Names and paths are written escaped (EscapePath), so no value can
// break or forge a line. A reader takes unknown keys as later additions and
// passes over them.
struct CQuarantineRecord {
    std::string m_strPath; // where the file was, absolute
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    mode_t m_mode = 0; // its permission bits (07777)
    std::uint64_t m_nSize = 0;
    std::string m_strSha256; // 64 lower-case hex digits
    std::string m_strFinding;
    std::string m_strJob;
    std::int64_t m_nTime = 0; // when it was moved, seconds since 1970

    // The largest record a reader accepts.
    static constexpr size_t kMaxBytes = 16 * 1024;

    std::string Serialize() const;
    // Reads a record; false with the reason (Polish) when it is damaged or
    // incomplete, and the record is then unchanged.
    bool Parse(std::string_view text, std::string& error);

    bool operator==(const CQuarantineRecord&) const = default;
};

// The SHA-256 of the whole content of fd (from its start) in lower-case hex;
// empty when it cannot be read.
std::string FileSha256(int fd);
