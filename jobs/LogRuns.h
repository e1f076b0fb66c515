#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Reading a job's scan log back, run by run. Each run of the scanner begins
// with a line that starts with "==== " (the start time and the job); lines
// before the first such line, or a whole log without any, count as one run.
// A log that grew too large was moved aside to "<log>.1" before a scan: its
// runs come before those of the log itself.

// A stretch of one log file: from offset to the file's end.
struct CLogPiece {
    std::string m_strPath;
    std::uint64_t m_nOffset = 0;
};

// The pieces that hold the last nRuns runs of the log at logPath, oldest
// first; nRuns 0 gives every run of both files. Missing or unreadable files
// add nothing. Reads each file once, from the start, keeping no more than
// nRuns offsets, so a log of any size is fine.
std::vector<CLogPiece> FindLogRuns(const std::string& logPath, unsigned nRuns);

// Total bytes of the pieces.
std::uint64_t LogPiecesSize(const std::vector<CLogPiece>& pieces);

// The text of the pieces, at most nMaxBytes of it: when there is more, the
// oldest part is left out up to a line break and bTruncated is set. False
// when a file cannot be read.
bool ReadLogPieces(const std::vector<CLogPiece>& pieces, size_t nMaxBytes, std::string& text,
                   bool& bTruncated);

// Copies the pieces to out in blocks, with control characters other than tab
// and line break, line separators and bytes that are no UTF-8 escaped
// (EscapeControls), so a log can neither drive a terminal nor show a line
// that is none; false on a read or write error.
bool CopyLogPieces(const std::vector<CLogPiece>& pieces, std::FILE* out);
