#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>

// The user's allow-list: files that a scan no longer reports although the
// signatures match them, each by its SHA-256 and size. One line per file,
// "SHA256:SIZE:NAME" as false-positive lists of signature databases write
// them (NAME says what it was found as); empty lines and lines starting with
// "#" are comments. A damaged line is passed over and counted, so one bad
// line does not bring back every finding the list silenced.
class CAllowList {
public:
    // Reads the list text; the lines it could not read are counted in
    // BadLines().
    void Parse(std::string_view text);
    // Reads the list file; a missing file is an empty list. False with the
    // reason when it exists but cannot be read.
    bool Load(const std::string& path, std::string& error);

    bool Contains(const std::string& sha256, std::uint64_t size) const {
        return m_entries.count({sha256, size}) != 0;
    }
    bool Empty() const { return m_entries.empty(); }
    size_t Size() const { return m_entries.size(); }
    size_t BadLines() const { return m_nBadLines; }

    // Adds one file to the list file at path (made with owner-only rights
    // when missing), replacing the file whole. False with the reason.
    static bool Add(const std::string& path, const std::string& sha256, std::uint64_t size,
                    const std::string& name, std::string& error);

    // The largest list a reader accepts.
    static constexpr size_t kMaxBytes = 8u << 20;

private:
    std::set<std::pair<std::string, std::uint64_t>> m_entries;
    size_t m_nBadLines = 0;
};
