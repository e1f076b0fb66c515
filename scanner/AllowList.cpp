#include "AllowList.h"

#include "FileOps.h"
#include "LineText.h"
#include "ScanPaths.h"

#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool ParseLine(std::string_view line, std::string& sha256, std::uint64_t& size) {
    const size_t first = line.find(':');
    const size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (first != 64 || second == std::string_view::npos || second == first + 1)
        return false;
    const std::string_view hash = line.substr(0, first);
    if (hash.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
        return false;
    const char* begin = line.data() + first + 1;
    const char* end = line.data() + second;
    const auto [stop, ec] = std::from_chars(begin, end, size);
    if (ec != std::errc() || stop != end)
        return false;
    sha256.clear();
    for (char c : hash)
        sha256 += static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    return true;
}

// A name goes on the line as text without a line break or a field separator.
std::string LineName(const std::string& name) {
    std::string text = EscapePath(name);
    for (char& c : text)
        if (c == ':')
            c = '_';
    return text.empty() ? "Vex.Allowed" : text;
}

} // namespace

void CAllowList::Parse(std::string_view text) {
    m_entries.clear();
    m_nBadLines = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line[0] == '#')
            continue;
        std::string sha256;
        std::uint64_t size = 0;
        if (ParseLine(line, sha256, size))
            m_entries.emplace(std::move(sha256), size);
        else
            ++m_nBadLines;
    }
}

bool CAllowList::Load(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        Parse({});
        return true;
    }
    const int openError = errno;
    std::string text;
    const bool ok = fd >= 0 && ReadWholeFile(fd, kMaxBytes, text, error);
    if (fd >= 0)
        ::close(fd);
    if (!ok) {
        error = "nie można odczytać listy dozwolonych " + EscapePath(path) + ": " +
                (fd < 0 ? ErrorText(openError) : "za duża albo nieczytelna");
        return false;
    }
    Parse(text);
    return true;
}

bool CAllowList::Add(const std::string& path, const std::string& sha256, std::uint64_t size,
                     const std::string& name, std::string& error) {
    const std::string folder = path.substr(0, path.rfind('/'));
    if (!MakeDirectories(folder)) {
        error = "nie można utworzyć folderu " + EscapePath(folder) + ": " + ErrorText(errno);
        return false;
    }
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        const bool ok = ReadWholeFile(fd, kMaxBytes, text, error);
        ::close(fd);
        if (!ok) {
            error = "nie można odczytać listy dozwolonych " + EscapePath(path) +
                    ": za duża albo nieczytelna";
            return false;
        }
    } else if (errno != ENOENT) {
        error =
            "nie można odczytać listy dozwolonych " + EscapePath(path) + ": " + ErrorText(errno);
        return false;
    }
    CAllowList present;
    present.Parse(text);
    if (present.Contains(sha256, size))
        return true;
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += sha256 + ":" + std::to_string(size) + ":" + LineName(name) + "\n";
    const int dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool written =
        dirfd >= 0 && WriteFileAtomically(dirfd, path.substr(folder.size() + 1), text, 0600, error);
    if (dirfd >= 0)
        ::close(dirfd);
    else
        error = ErrorText(errno);
    if (!written)
        error = "nie można zapisać listy dozwolonych " + EscapePath(path) + ": " + error;
    return written;
}
