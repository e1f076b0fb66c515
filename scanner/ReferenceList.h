#pragma once

#include <cstddef>
#include <map>
#include <string>

// The reference list of a job: the SHA-256 of every file seen, by path. One
// line per file: 64 hex digits, two blanks, the path with backslash, CR and
// LF written as \\, \r and \n.
class CReferenceList {
public:
    // A list longer than this is taken as damaged rather than read into memory.
    static constexpr size_t kMaxFileSize = size_t(512) << 20;

    // Parses the text of a list; false (and the list left empty) when any
    // line is damaged.
    bool Parse(const char* data, size_t size, std::string& error);
    std::string Serialize() const;

    // Load: true with an empty list when the file does not exist yet. Removes
    // the temporary copies that killed saves left beside the file.
    bool Load(const std::string& path, bool& exists, std::string& error);
    // Replaces the file atomically.
    bool Save(const std::string& path, std::string& error) const;

    const std::string* Find(const std::string& path) const;
    void Set(const std::string& path, const std::string& hexDigest) { m_entries[path] = hexDigest; }
    void Remove(const std::string& path) { m_entries.erase(path); }
    size_t Size() const { return m_entries.size(); }
    const std::map<std::string, std::string>& Entries() const { return m_entries; }
    bool operator==(const CReferenceList& other) const { return m_entries == other.m_entries; }

private:
    std::map<std::string, std::string> m_entries;
};
