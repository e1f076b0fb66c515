#pragma once

// What every program answers to --version and --help, the same way in all
// four: the version text with the licence, or the program's help, on
// standard output and exit code 0.

#include <cstdio>
#include <optional>
#include <string>

// "NAME (Vex Tempora) VERSION" and the licence lines, ending in a newline.
std::string VersionText(const char* pszProgram);

// When the only argument is --version, --help or -h, prints the version
// text or strHelp to out and returns the exit code 0; otherwise nothing.
std::optional<int> AnswerInfoOption(int argc, char** argv, const char* pszProgram,
                                    const char* pszHelp, std::FILE* out);

// The exit code of every program for a usage error.
inline constexpr int kExitUsageError = 2;

// The user's locale for messages and characters, so that system error texts
// (strerror) read in the user's language; numbers keep the C form, since
// logs and results are also read by programs.
void UseUserLocaleForMessages();
