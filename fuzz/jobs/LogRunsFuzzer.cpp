// Scan logs read back by the window and tempora: any bytes as a log file (and
// as its rotated older part) are split into runs without reading past the
// files, the viewer's text stays within its limit and begins at a line, and
// what tempora prints of it holds no control character but tab and LF.
#include "LogRuns.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& LogPath() {
    static const std::string path = [] {
        char dir[] = "/tmp/vex-logfuzz-XXXXXX";
        std::string p = mkdtemp(dir) ? dir : "/tmp";
        return p + "/job.log";
    }();
    return path;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    if (size > 0)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // First byte: runs wanted; second: where the older file ends.
    const unsigned runs = data[0] % 8;
    const size_t split = size > 2 ? data[1] % (size - 1) : 0;
    const uint8_t* body = data + 2;
    const size_t bodySize = size - 2;
    const size_t older = split < bodySize ? split : bodySize;
    WriteFile(LogPath() + ".1", body, older);
    WriteFile(LogPath(), body + older, bodySize - older);

    const std::vector<CLogPiece> pieces = FindLogRuns(LogPath(), runs);
    if (LogPiecesSize(pieces) > bodySize)
        std::abort();
    for (size_t cap : {size_t(0), size_t(7), size_t(1) << 20}) {
        std::string text;
        bool truncated = false;
        if (!ReadLogPieces(pieces, cap, text, truncated))
            std::abort();
        if (text.size() > cap)
            std::abort();
        if (!truncated && text.size() != LogPiecesSize(pieces))
            std::abort();
    }
    // What tempora prints is UTF-8 that breaks lines only at LF.
    char* printed = nullptr;
    size_t printedSize = 0;
    std::FILE* out = ::open_memstream(&printed, &printedSize);
    if (!out || !CopyLogPieces(pieces, out) || std::fclose(out) != 0)
        std::abort();
    const QByteArray bytes(printed, static_cast<qsizetype>(printedSize));
    std::free(printed);
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        std::abort();
    for (QChar c : text)
        if ((c.category() == QChar::Other_Control && c != '\t' && c != '\n') ||
            c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            std::abort();
    ::unlink((LogPath() + ".1").c_str());
    ::unlink(LogPath().c_str());
    return 0;
}
