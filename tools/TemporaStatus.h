#pragma once

// `tempora status`: what an administrator checks first. Whether a scan server
// runs for this state root, where the job store, the scanner and the
// signature folder are (with the age of the newest signature database), and
// which jobs are due in the next 24 hours. Reads only; creates nothing.

#include <cstdio>
#include <ctime>
#include <string>

// What the report found.
struct CStatus {
    bool bServerRunning = false; // a server holds the state root's lock
    bool bStoreDamaged = false;  // the job store's file is damaged
};

// Prints the report to out.
CStatus ReportStatus(std::FILE* out);

// "3 godz. 12 min" style age of a span in seconds (at least "0 min").
std::string AgeText(long long nSeconds);
