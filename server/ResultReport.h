#pragma once

// What the server tells the world after each pass: every job result that is
// new since the last pass (whoever stored it: a scan the server started, a
// "run now", a start that failed) goes to the journal (ResultJournal.h), and
// the file named by the machine value "MetricsFile", when set, is rewritten
// atomically with the jobs' metrics (JobMetrics.h). Results already stored
// when the server starts are not told again.

#include "Registry.h"

#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CResultReport {
public:
    // Lines for the server's log: what (as the scheduler logs it), the job,
    // the detail.
    using LogFn =
        std::function<void(const char* what, const std::string& name, const std::string& detail)>;

    explicit CResultReport(LogFn log);

    // After a pass of the server, at now.
    void Pass(std::time_t now);

private:
    using Stored = std::map<std::string, std::vector<BYTE>>;
    // Every stored result as it is now; false when they cannot be read.
    static bool ReadResults(Stored& results);
    void TellNew(const Stored& now);
    void WriteMetricsFile(std::time_t now);

    LogFn m_log;
    Stored m_seen;
    bool m_bFirst = true;
    std::string m_strLastFailure; // said once until it changes
};
