#pragma once

// "Run now" of one job as read from the store, the same for the window and
// for tempora: no run of a job the scanner would refuse, no second scan while
// the job's scan runs, the start stamped only on the job as read, and a run
// that did not scan recorded as the job's last result.

#include "Job.h"
#include "JobResult.h"
#include "RegInterface.h"

#include <string>

enum class ERunNow {
    Started,
    StillRunning, // the job's previous scan still runs: nothing stamped or started
    Changed,      // deleted or changed since it was read: nothing stamped or started
    StoreFailed,  // the start could not be stamped (the store said why)
    NotStarted,   // stamped, but the scanner could not be started
    Unfit,        // the scanner would refuse the job (CJob::CheckCarriable): nothing stamped
    Refused,      // stamped, but the scanner refused the run; its command file is removed
};

ERunNow RunJobNow(CRegInterface& store, CJob& job, const std::string& scanner);

// The result recorded for a job that is not run because the scanner would
// refuse it.
CJobResult::ENotStarted NotCarriedOut(CJob::EFault fault);
