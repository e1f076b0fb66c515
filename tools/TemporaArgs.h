#pragma once

// The command line of `tempora`, the command-line companion: what the user
// asked for, checked completely before the job store is touched.

#include "JobChanges.h"
#include "Period.h"
#include "ScanParameter.h"

#include <memory>
#include <string>
#include <vector>

enum class TemporaCommand {
    Help,
    List,
    Show,
    Add,
    Enable,
    Disable,
    Delete,
    Run,
    Export,
    Import,
    Log,
    Edit,
    Status,
    Metrics,
    Quarantine,
    Running,
    Stop,
};

// What `tempora quarantine` does.
enum class QuarantineAction { List, Restore, Delete, Purge };

// What an import does with a job whose name is taken.
enum class ImportConflict {
    Ask,     // ask on the terminal; without one, keep the stored job
    Replace, // replace the stored job (with the file's last start)
    Keep,    // keep the stored job, skip the record
};

struct CTemporaRequest {
    TemporaCommand command = TemporaCommand::Help;
    std::string strName;         // show, add, edit, enable, disable, delete, run, log, stop
    std::string strFile;         // export, import, metrics --file
    bool bNoMetricsFile = false; // metrics --no-file
    bool bJson = false;          // list, show, running
    bool bTsv = false;           // list: the machine form
    bool bFullScan = false;      // run: every file read, the verdict cache only written
    bool bWait = false;          // run: wait for the scan and exit with its outcome
    ImportConflict conflict = ImportConflict::Ask;
    unsigned nRuns = 0; // log: the last runs to print; 0 prints the whole log

    QuarantineAction quarantine = QuarantineAction::List;
    std::string strId;  // quarantine restore and delete
    std::string strTo;  // quarantine restore: another place than the original
    unsigned nDays = 0; // quarantine purge: entries older than this go

    // add: the schedule (never null after a successful parse), the scan
    // options and the active switch.
    std::unique_ptr<CPeriod> pPeriod;
    CScanParameter scan;
    bool bActive = true;

    // add and edit: what the options set (for add, also folded into the
    // fields above).
    CJobChanges changes;
};

// Parses the arguments after the program name. False with a one-line reason
// in strError on a usage error; the request is then not usable.
bool ParseTemporaArgs(const std::vector<std::string>& args, CTemporaRequest& request,
                      std::string& strError);

// The short usage line shown with every usage error, and the full help text.
const char* TemporaUsage();
const char* TemporaHelp();
