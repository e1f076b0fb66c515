#pragma once

// The text of `vex-tempora --help` and its usage line.
const char* VexTemporaHelp();
const char* VexTemporaUsage();

// The first argument that is an option of neither the program nor the
// toolkit (which has taken its own out of argv by then), or nullptr.
const char* FindUnknownOption(int argc, char** argv);

// The same before the toolkit has seen argv: its own options (as "-name" or
// "--name", with their values) are let through. Judged before the toolkit
// starts, a wrong call needs no display.
const char* FindUnknownOptionBeforeToolkit(int argc, char** argv);

// True when "--log" is the last argument, without the job's name.
bool LogOptionLacksName(int argc, char** argv);
