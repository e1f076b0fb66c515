#pragma once

#include "JobResult.h"
#include "Scanner.h"

#include <ctime>
#include <string>

// The job's last result from the counts of a scan that ended at finished.
CJobResult MakeJobResult(const CScanResult& scan, std::time_t finished);

// Stores the scan's result as the named job's last result (and so tells the
// open windows). Nothing is written for a name that is no job in the store:
// a scan started by hand, or a job deleted while it ran, leaves no result
// behind for a later job of that name. False, with the reason (Polish) in
// error, when the job is there but its result could not be stored.
bool WriteScanResult(const std::string& jobName, const CScanResult& scan, std::string& error);
