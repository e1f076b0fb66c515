// Whether a job of program files scans a file is decided on the first bytes
// of any file on disk: the decision reads nothing beyond them (the address
// sanitizer sees the end of the input as the end of the head), and an
// execute bit always makes a program file.
#include "ProgramFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The file's name up to the first '/', then its first bytes.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t slash = std::min(input.find('/'), size);
    const std::string_view name = input.substr(0, slash);
    const std::string_view head = input.substr(std::min(slash + 1, size));
    const bool program = IsProgramFile(0644, name, head);
    if (!IsProgramFile(0744, name, head) || IsProgramFile(0644, name, head) != program)
        std::abort();
    return 0;
}
