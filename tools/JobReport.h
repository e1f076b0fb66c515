#pragma once

// What `tempora list` and `tempora show` print about a job: the same texts the
// window's list shows, plus the schedule's and scan options' fields, as plain
// text for people and as JSON for scripts.

#include "JobResult.h"
#include "OleDateTime.h"
#include "ScanParameter.h"

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CJob;

struct CJobReport {
    std::string strName;
    bool bActive = false;        // switched on and the schedule complete
    bool bScheduleValid = false; // the schedule is complete
    std::string strSchedule;     // the list's "Czas" text
    int nKind = 0;               // PeriodKind
    std::string strKind;         // once, hourly, daily, weekly, monthly, at-startup
    std::vector<std::pair<std::string, std::string>> scheduleFields; // JSON name, value
    bool bIdle = false;
    int nIdleMinutes = 0;
    std::string strNextStartDate; // next start as a date ("" or "wyłączony" as the list)
    std::string strCountdown;     // time remaining, as the list shows it
    int nSecondsToNextStart = -1;
    std::optional<time_t> nextStart; // the instant, so that a repeated hour reads apart
    std::string strLastStart;
    std::optional<time_t> lastStart;
    CScanParameter scan;
    std::optional<CJobResult> lastResult; // the last scan's result, when there is one
};

CJobReport MakeJobReport(const CJob& job, time_t now);
// Adds the job's last result from the job store.
void AddLastResult(CJobReport& report, CJobResultReader& results);
// The list's text of the last result; empty when the job never ran.
std::string ResultText(const CJobReport& report);

// One tab-separated line per job, and the matching header line.
std::string FormatListHeader();
std::string FormatListLine(const CJobReport& report);
// The machine form of the list (`list --tsv`): a header line of field
// names, then one line per job, fields separated by tabs: name, active,
// kind, directory, nextStart, secondsToNextStart, lastStart, result,
// exitCode, finished, files, infected, changed, errors, skipped. Times are
// ISO 8601 with seconds and offset, the result a fixed word (clean,
// stopped, changed, suspicious, error, not-started, infected); an absent
// value is an empty field. In texts a backslash is written "\\", a tab
// "\t", a line feed "\n", a carriage return "\r", any other control
// character "\xHH".
std::string FormatTsvHeader();
std::string FormatTsvLine(const CJobReport& report);
// "Label: value" lines with every setting of the job.
std::string FormatShow(const CJobReport& report);
// One JSON object; an array of them for several jobs.
std::string FormatJson(const CJobReport& report);
std::string FormatJsonArray(const std::vector<CJobReport>& reports);

// A JSON string literal of UTF-8 text: quotes, backslashes and control
// characters escaped, invalid UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);
// Text for a terminal line: control characters (tabs, line breaks, escape
// sequences) become '?', so a job name cannot break the line layout.
std::string PlainText(std::string_view text);
// The text as PlainText in double quotes, for messages.
std::string Quoted(std::string_view text);
// "YYYY-MM-DDTHH:MM" of a valid date-time value.
std::string IsoMinute(const COleDateTime& t);
