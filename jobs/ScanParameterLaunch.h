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

// Records how a scanner that ended with wait status status ended, when it
// stored no result of its own since it was started: a scan ended by a signal
// is "przerwano (sygnał N)", any other "nie zapisano wyniku", so the job's
// previous result never stands for this run. False when that cannot be
// stored either.
bool RecordScannerEnd(const CLaunchedScanner& launched, int status);

// The scanner's working directory: its path up to the last "/", the root
// when that leaves nothing, the path itself when it has no "/".
std::string ScannerWorkingDirectory(const std::string& scanner);
