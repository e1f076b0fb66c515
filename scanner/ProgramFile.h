#pragma once

#include <string_view>
#include <sys/types.h>

// What the option "tylko pliki programowe" examines: every file that can run
// or carry something that runs, as far as the engine can look inside it.

// The detailed log's line for a file that the option leaves out.
inline constexpr const char* kNotProgramFile = "pominięto: nie jest plikiem programowym";

// True for a file with an execute bit; a file whose start (head: the bytes
// read from offset 0, any length) shows an executable, a script, an archive
// or compressed file, a disk image, a mail message or mailbox, encoded mail
// data, a web page or a document that can carry code; and, failing those, a
// file whose name ends in the extension of such a format (any case). Never
// reads outside head.
bool IsProgramFile(mode_t mode, std::string_view name, std::string_view head);
