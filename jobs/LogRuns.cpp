#include "LogRuns.h"

#include "LineText.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <sys/stat.h>

namespace {

constexpr const char kRunMark[] = "==== ";
constexpr size_t kRunMarkLength = sizeof kRunMark - 1;
constexpr size_t kBlockSize = 64 * 1024;

class CFile {
public:
    explicit CFile(const std::string& path) : m_p(std::fopen(path.c_str(), "rbe")) {}
    ~CFile() {
        if (m_p)
            std::fclose(m_p);
    }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    std::FILE* Get() const { return m_p; }

private:
    std::FILE* m_p;
};

std::uint64_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)
               ? static_cast<std::uint64_t>(st.st_size)
               : 0;
}

// Offsets where the last nRuns runs of one file begin (all of them with
// nRuns 0), oldest first.
std::deque<std::uint64_t> RunStarts(const std::string& path, unsigned nRuns) {
    std::deque<std::uint64_t> starts;
    CFile file(path);
    if (!file.Get())
        return starts;
    char* line = nullptr;
    size_t capacity = 0;
    std::uint64_t offset = 0;
    for (;;) {
        const ssize_t n = ::getline(&line, &capacity, file.Get());
        if (n <= 0)
            break;
        const bool mark = static_cast<size_t>(n) >= kRunMarkLength &&
                          std::memcmp(line, kRunMark, kRunMarkLength) == 0;
        if (mark || offset == 0) {
            starts.push_back(offset);
            if (nRuns != 0 && starts.size() > nRuns)
                starts.pop_front();
        }
        offset += static_cast<std::uint64_t>(n);
    }
    std::free(line);
    return starts;
}

} // namespace

std::vector<CLogPiece> FindLogRuns(const std::string& logPath, unsigned nRuns) {
    std::vector<CLogPiece> pieces;
    unsigned wanted = nRuns;
    for (const std::string& path : {logPath, logPath + ".1"}) {
        if (FileSize(path) == 0)
            continue;
        if (nRuns == 0) {
            pieces.insert(pieces.begin(), CLogPiece{path, 0});
            continue;
        }
        const std::deque<std::uint64_t> starts = RunStarts(path, wanted);
        if (starts.empty())
            continue;
        pieces.insert(pieces.begin(), CLogPiece{path, starts.front()});
        wanted -= static_cast<unsigned>(starts.size());
        if (wanted == 0)
            break;
    }
    return pieces;
}

std::uint64_t LogPiecesSize(const std::vector<CLogPiece>& pieces) {
    std::uint64_t total = 0;
    for (const CLogPiece& piece : pieces) {
        const std::uint64_t size = FileSize(piece.m_strPath);
        total += size > piece.m_nOffset ? size - piece.m_nOffset : 0;
    }
    return total;
}

bool ReadLogPieces(const std::vector<CLogPiece>& pieces, size_t nMaxBytes, std::string& text,
                   bool& bTruncated) {
    text.clear();
    bTruncated = false;
    // Bytes to leave out at the front so that at most nMaxBytes remain.
    const std::uint64_t total = LogPiecesSize(pieces);
    std::uint64_t skip = total > nMaxBytes ? total - nMaxBytes : 0;
    bTruncated = skip > 0;
    for (const CLogPiece& piece : pieces) {
        CFile file(piece.m_strPath);
        if (!file.Get())
            return false;
        const std::uint64_t size = FileSize(piece.m_strPath);
        std::uint64_t start = piece.m_nOffset;
        const std::uint64_t length = size > start ? size - start : 0;
        if (skip >= length) {
            skip -= length;
            continue;
        }
        start += skip;
        skip = 0;
        if (::fseeko(file.Get(), static_cast<off_t>(start), SEEK_SET) != 0)
            return false;
        // The file may grow while it is read (a scan is writing): take no
        // more than was measured, so the cap holds.
        std::uint64_t left = size - start;
        char block[kBlockSize];
        while (left > 0) {
            const size_t n =
                std::fread(block, 1, left < sizeof block ? left : sizeof block, file.Get());
            if (n == 0)
                break;
            text.append(block, n);
            left -= n;
        }
        if (std::ferror(file.Get()))
            return false;
    }
    if (bTruncated) {
        // Begin at a whole line.
        const size_t br = text.find('\n');
        text.erase(0, br == std::string::npos ? text.size() : br + 1);
    }
    return true;
}

bool CopyLogPieces(const std::vector<CLogPiece>& pieces, std::FILE* out) {
    for (const CLogPiece& piece : pieces) {
        CFile file(piece.m_strPath);
        if (!file.Get() || ::fseeko(file.Get(), static_cast<off_t>(piece.m_nOffset), SEEK_SET) != 0)
            return false;
        // A character cut by the end of a block waits for the rest of it.
        std::string text;
        bool bEnd = false;
        while (!bEnd) {
            const size_t had = text.size();
            text.resize(had + kBlockSize);
            const size_t n = std::fread(text.data() + had, 1, kBlockSize, file.Get());
            text.resize(had + n);
            bEnd = n == 0;
            const size_t whole = text.size() - (bEnd ? 0 : IncompleteUtf8Tail(text));
            const std::string chunk =
                EscapeControls(std::string_view(text).substr(0, whole), "\n\t");
            if (std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size())
                return false;
            text.erase(0, whole);
        }
        if (std::ferror(file.Get()))
            return false;
    }
    return std::fflush(out) == 0;
}
