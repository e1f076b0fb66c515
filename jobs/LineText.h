#pragma once

#include <string>
#include <string_view>

// Paths and names on one line of a log, of a message or of a list: no file
// name may break a line or forge one, in a file, a terminal, the journal or a
// text widget (which also breaks at U+2028 and U+2029).
//
// EscapePath writes a backslash as "\\", LF and CR as "\n" and "\r", the
// other C0 controls, DEL and bytes that are no UTF-8 as "\xHH", and the C1
// controls and the line and paragraph separators (U+0080..U+009F, U+2028,
// U+2029) as "\uHHHH". The result is UTF-8 without any control character.
std::string EscapePath(std::string_view path);

// Reverses EscapePath. Also reads what older versions wrote, which escaped
// only "\\", "\n" and "\r" and left the other bytes as they were. False on a
// line break or NUL, and on an escape that EscapePath does not write.
bool UnescapePath(std::string_view text, std::string& path);

// Makes text that may hold an unescaped name safe for one line: the same
// escapes as EscapePath, but a backslash stays as it is, so that text that
// was escaped already is left unchanged. The characters in keep (such as
// "\n\t" for a whole log) stay too.
std::string EscapeControls(std::string_view text, std::string_view keep = {});

// The bytes at the end of text that begin a UTF-8 sequence which is not
// complete yet, so that a reader in blocks can keep them for the next block.
size_t IncompleteUtf8Tail(std::string_view text);
