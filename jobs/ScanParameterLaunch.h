#pragma once

#include "ScanParameter.h"

#include <string>

// The pieces of CScanParameter::Launch, for tests and for callers that want
// to show what would be started.

// The three lines of the scanner's command file, each ending in CR LF: the
// eight option digits (end mode, heuristics, file selection, subdirectories,
// infection action, reference difference action, log mode, reference check),
// the job's name and the folder to scan.
std::string BuildCommandFileText(const CScanParameter& params, const char* pszJobName);

// The scanner's working directory: its path up to the last "/", the root
// when that leaves nothing, the path itself when it has no "/".
std::string ScannerWorkingDirectory(const std::string& scanner);
