#pragma once

// The job list's commands on the selected jobs that are not the clipboard's:
// delete with its question, and run now. Written against the store and the
// selected names, which the view collects before anything changes the list,
// so that a command acts on each selected job exactly once even though every
// change re-sorts or shrinks the list.

#include <string>
#include <vector>

class CCommandLayer;
class CRegInterface;
class CVigilView;
class QWidget;

class CJobActions {
public:
    // Asks "really delete?" (string 163 for several jobs, 164 for one) with
    // Yes and No; on Yes deletes each named job from the store, which reports
    // a failed delete itself and goes on with the rest. True on Yes.
    static bool DeleteJobs(CRegInterface& store, const std::vector<std::string>& names);

    // Runs each named job once with the scanner of the machine setting
    // "vexexe": stamps its last start, starts the scanner, and writes it back
    // with hint 3. A job that cannot be read, that the scanner would refuse,
    // or whose scan still runs, is skipped (its result says why). Returns the
    // number of jobs stamped.
    // With bFullScan the scanner reads every file, also those its verdict
    // cache knows as unchanged.
    static int RunJobsNow(CRegInterface& store, const std::vector<std::string>& names,
                          bool bFullScan = false);

    // Asks the running scan of each named job to stop, as the scanner's stop
    // button would; its result then says it was interrupted. Jobs whose
    // scan does not run, or runs in a process of another user, are passed
    // over. Returns the number of scans asked to stop.
    static int StopJobs(const std::vector<std::string>& names);
    // Whether a scan of one of the named jobs runs now.
    static bool AnyRunning(const std::vector<std::string>& names);

    // Opens the log viewer on the first named job's scan log (the job's name
    // as stored, so its log file is found whatever case the row shows), over
    // the view's window. Runs it through the modal seam.
    static void ShowLog(CRegInterface& store, const std::vector<std::string>& names,
                        QWidget* pParent);

    // The scanner program the installation recorded; empty when there is none.
    static std::string ScannerPath();

    // Names of the view's selected rows in row order.
    static std::vector<std::string> SelectedNames(const CVigilView& view);

    // Connects delete, run now, cut, copy and paste of the command layer to
    // the view, with their enabling: a selected row for the first four, the
    // job format on the clipboard for paste (re-evaluated when the clipboard
    // changes). The log viewer needs exactly one selected row; the
    // quarantine dialog none.
    static void Register(CVigilView& view, CCommandLayer& commands);
};
