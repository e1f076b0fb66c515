#pragma once

// The text of `vex-tempora --help` and its usage line.
const char* VexTemporaHelp();
const char* VexTemporaUsage();

// The first argument that is an option of neither the program nor the
// toolkit (which has taken its own out of argv by then), or nullptr.
const char* FindUnknownOption(int argc, char** argv);
