#include "ReferenceList.h"

#include "FileOps.h"
#include "LineText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace {

bool IsHexDigest(std::string_view s) {
    if (s.size() != 64)
        return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

} // namespace

bool CReferenceList::Parse(const char* data, size_t size, std::string& error) {
    m_entries.clear();
    std::string_view text(data, size);
    std::map<std::string, std::string> entries;
    size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            error = "wiersz " + std::to_string(lineNo) + " jest niepełny";
            return false;
        }
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        std::string path;
        if (line.size() < 67 || !IsHexDigest(line.substr(0, 64)) || line.substr(64, 2) != "  " ||
            !UnescapePath(line.substr(66), path) || path.empty()) {
            error = "wiersz " + std::to_string(lineNo) + " jest uszkodzony";
            return false;
        }
        entries[path] = std::string(line.substr(0, 64));
    }
    m_entries = std::move(entries);
    return true;
}

std::string CReferenceList::Serialize() const {
    std::string out;
    for (const auto& [path, digest] : m_entries) {
        out += digest;
        out += "  ";
        out += EscapePath(path);
        out += '\n';
    }
    return out;
}

bool CReferenceList::Load(const std::string& path, bool& exists, std::string& error) {
    m_entries.clear();
    exists = false;
    // What a scan killed while it saved the list left beside it.
    RemoveStaleTemporaries(path);
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        error = "nie można otworzyć listy odniesienia " + path + ": " + std::strerror(errno);
        return false;
    }
    exists = true;
    std::string content;
    bool ok = ReadWholeFile(fd, kMaxFileSize, content, error);
    ::close(fd);
    if (ok)
        ok = Parse(content.data(), content.size(), error);
    if (!ok)
        error = "lista odniesienia " + path + " jest uszkodzona: " + error;
    return ok;
}

bool CReferenceList::Save(const std::string& path, std::string& error) const {
    if (!WriteFileAtomically(AT_FDCWD, path, Serialize(), 0600, error)) {
        error = "nie można zapisać listy odniesienia " + path + ": " + error;
        return false;
    }
    return true;
}

const std::string* CReferenceList::Find(const std::string& path) const {
    auto it = m_entries.find(path);
    return it == m_entries.end() ? nullptr : &it->second;
}
