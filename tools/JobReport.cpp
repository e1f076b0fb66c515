#include "JobReport.h"

#include "Daily.h"
#include "Hourly.h"
#include "Job.h"
#include "LocalInstant.h"
#include "Monthly.h"
#include "Once.h"
#include "StringTable.h"
#include "Weekly.h"

#include <cstdio>
#include <initializer_list>
#include <iterator>

namespace {

// Column headers of the window's list (string table).
enum : unsigned {
    kHeaderName = 144,
    kHeaderFolder = 145,
    kHeaderTime = 146,
    kHeaderNext = 147,
    kHeaderLast = 148,
    kHeaderResult = 280
};

const char* const kKindNames[] = {"once", "hourly", "daily", "weekly", "monthly", "at-startup"};
const char* const kKindTexts[] = {"jednorazowo",    "co godzinę",     "codziennie",
                                  "raz w tygodniu", "raz w miesiącu", "przy starcie komputera"};
// Weekday names as the command line takes them, 1 = Sunday ... 7 = Saturday.
const char* const kDayNames[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

std::string TwoDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

std::string ClockTime(int nHour, int nMinute) {
    return TwoDigits(nHour) + ":" + TwoDigits(nMinute);
}

std::string DayName(int nDayOfWeek) {
    return nDayOfWeek >= 1 && nDayOfWeek <= 7 ? kDayNames[nDayOfWeek - 1]
                                              : std::to_string(nDayOfWeek);
}

// The kind's own fields, as JSON members (name and ready-made JSON value).
void AddScheduleFields(const CPeriod& period, CJobReport& report) {
    auto& fields = report.scheduleFields;
    if (!period.IsValid())
        return;
    int nHour = 0;
    int nMinute = 0;
    int nDay = 0;
    switch (period.GetKind()) {
    case PERIOD_ONCE: {
        SYSTEMTIME st{};
        static_cast<const COnce&>(period).Get(&st);
        const COleDateTime at(st);
        if (at.GetStatus() == COleDateTime::valid)
            fields.emplace_back("at", JsonString(IsoLocalTime(InstantOf(at))));
        break;
    }
    case PERIOD_HOURLY:
        fields.emplace_back("minute",
                            std::to_string(static_cast<const CHourly&>(period).GetMinute()));
        break;
    case PERIOD_DAILY: {
        int flags[7] = {};
        static_cast<const CDaily&>(period).Get(&nHour, &nMinute, &flags[0], &flags[1], &flags[2],
                                               &flags[3], &flags[4], &flags[5], &flags[6]);
        fields.emplace_back("time", JsonString(ClockTime(nHour, nMinute)));
        std::string days = "[";
        for (int i = 0; i < 7; ++i) {
            if (!flags[i])
                continue;
            days += (days.size() > 1 ? "," : "") + JsonString(DayName(i == 6 ? 1 : i + 2));
        }
        fields.emplace_back("days", days + "]");
        break;
    }
    case PERIOD_WEEKLY:
        static_cast<const CWeekly&>(period).Get(&nHour, &nMinute, &nDay);
        fields.emplace_back("time", JsonString(ClockTime(nHour, nMinute)));
        fields.emplace_back("dayOfWeek", JsonString(DayName(nDay)));
        break;
    case PERIOD_MONTHLY:
        static_cast<const CMonthly&>(period).Get(&nHour, &nMinute, &nDay);
        fields.emplace_back("time", JsonString(ClockTime(nHour, nMinute)));
        fields.emplace_back("dayOfMonth", std::to_string(nDay));
        break;
    case PERIOD_AT_STARTUP:
        break;
    }
}

// The name of an option index; a value the dialog never makes is named as
// the damage it is, with the number, so that nobody takes it for a choice.
std::string Choice(DWORD value, std::initializer_list<const char*> names) {
    DWORD index = 0;
    for (const char* name : names)
        if (index++ == value)
            return name;
    return "uszkodzona wartość " + std::to_string(value) + " (poza zakresem 0-" +
           std::to_string(names.size() - 1) + ")";
}

std::string YesNo(bool b) {
    return b ? "tak" : "nie";
}

void AppendMember(std::string& json, const char* name, const std::string& value) {
    json += (json.size() > 1 ? ",\n  " : "\n  ") + JsonString(name) + ": " + value;
}

std::string JsonBool(bool b) {
    return b ? "true" : "false";
}

std::string JsonChoice(DWORD value, std::initializer_list<const char*> names) {
    if (value < names.size())
        return JsonString(names.begin()[value]);
    return JsonString("damaged (" + std::to_string(value) + ")");
}

// ISO 8601 with seconds and the offset of that moment.
std::string JsonTime(const std::optional<time_t>& t) {
    return t ? JsonString(IsoLocalTime(*t)) : "null";
}

// {"finished": ..., "exitCode": ..., counts, "stopped": ...} on one line, or null.
// Why a run did not scan, for scripts; null for a run that scanned.
std::string JsonReason(const CJobResult& r) {
    if (!r.m_bNotStarted)
        return "null";
    static const char* const kReasons[] = {"scanner-missing", "still-running", "refused", "busy",
                                           "cancelled",       "bad-folder"};
    const auto why = static_cast<size_t>(r.m_eWhy);
    return why < std::size(kReasons) ? JsonString(kReasons[why]) : "null";
}

std::string JsonResult(const std::optional<CJobResult>& r) {
    if (!r)
        return "null";
    return "{\"finished\": " + JsonString(r->GetFinishedIso()) +
           ", \"exitCode\": " + std::to_string(r->m_nExitCode) +
           ", \"files\": " + std::to_string(r->m_nFiles) +
           ", \"infected\": " + std::to_string(r->m_nInfected) +
           ", \"changed\": " + std::to_string(r->m_nChanged) +
           ", \"errors\": " + std::to_string(r->m_nErrors) +
           ", \"skipped\": " + std::to_string(r->m_nSkipped) +
           ", \"suspicious\": " + std::to_string(r->m_nSuspicious) +
           ", \"unchecked\": " + std::to_string(r->m_nUnchecked) + ", \"reason\": " +
           (r->m_strReason.empty() ? std::string("null") : JsonString(r->m_strReason)) +
           ", \"stopped\": " + JsonBool(r->m_bStopped) + ", \"notStarted\": " + JsonReason(*r) +
           ", \"text\": " + JsonString(r->GetText()) + "}";
}

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points above U+10FFFF.
    if ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) > 0x9F) ||
        (lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) > 0x8F))
        return 0;
    return length;
}

// One text field of the machine form, on one line and free of tabs.
std::string TsvField(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (byte < 0x20 || byte == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        } else
            out += c;
    }
    return out;
}

std::string TsvTime(const std::optional<time_t>& t) {
    return t ? IsoLocalTime(*t) : std::string();
}

} // namespace

std::string FormatTsvHeader() {
    return "name\tactive\tkind\tdirectory\tnextStart\tsecondsToNextStart\tlastStart\tresult\t"
           "exitCode\tfinished\tfiles\tinfected\tchanged\terrors\tskipped\n";
}

std::string FormatTsvLine(const CJobReport& r) {
    std::string line = TsvField(r.strName) + "\t" + (r.bActive ? "true" : "false") + "\t" +
                       r.strKind + "\t" + TsvField(r.scan.m_strDirectory) + "\t" +
                       TsvTime(r.nextStart) + "\t" +
                       (r.nextStart ? std::to_string(r.nSecondsToNextStart) : "") + "\t" +
                       TsvTime(r.lastStart) + "\t";
    if (!r.lastResult)
        return line + "\t\t\t\t\t\t\t\n";
    const CJobResult& res = *r.lastResult;
    for (const std::string& field :
         {std::string(res.GetStateWord()), std::to_string(res.m_nExitCode), res.GetFinishedIso(),
          std::to_string(res.m_nFiles), std::to_string(res.m_nInfected),
          std::to_string(res.m_nChanged), std::to_string(res.m_nErrors)})
        line += field + "\t";
    return line + std::to_string(res.m_nSkipped) + "\n";
}

std::string IsoMinute(const COleDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d", t.GetYear(), t.GetMonth(),
                  t.GetDay(), t.GetHour(), t.GetMinute());
    return buf;
}

CJobReport MakeJobReport(const CJob& job, time_t now) {
    const HINSTANCE hRes = GetResourceHandle();
    const CPeriod& period = *job.GetPeriod();
    CJobReport report;
    report.strName = job.GetName();
    report.bActive = job.IsActive();
    report.bScheduleValid = job.IsPeriodValid();
    report.strSchedule = job.GetPeriodText(hRes);
    report.nKind = period.GetKind();
    report.strKind = kKindNames[report.nKind];
    AddScheduleFields(period, report);
    report.bIdle = period.GetIdle();
    report.nIdleMinutes = period.GetIdleMinutes();
    // The text operations return buffers that their next call overwrites.
    report.strNextStartDate = job.GetNextStartText(hRes, false);
    report.strCountdown = job.GetNextStartText(hRes, true);
    report.nSecondsToNextStart = job.GetSecondsToNextStart(now);
    // The next start as the list and the server compute it.
    time_t next;
    if (job.GetNextStart(now, next) && COleDateTime(next).GetStatus() == COleDateTime::valid)
        report.nextStart = next;
    report.strLastStart = job.GetLastStartText();
    if (job.HasLastStart() && job.GetLastStart().GetStatus() == COleDateTime::valid)
        report.lastStart = job.GetLastStartInstant();
    report.scan = job.GetScanParameter();
    return report;
}

void AddLastResult(CJobReport& report, CJobResultReader& results) {
    CJobResult result;
    if (results.Read(report.strName.c_str(), result))
        report.lastResult = result;
    else
        report.lastResult.reset();
}

std::string ResultText(const CJobReport& report) {
    return report.lastResult ? report.lastResult->GetText() : std::string();
}

std::string FormatListHeader() {
    return std::string(LoadResString(kHeaderName)) + "\tAktywna\t" + LoadResString(kHeaderFolder) +
           "\t" + LoadResString(kHeaderTime) + "\tNastępny start\t" + LoadResString(kHeaderNext) +
           "\t" + LoadResString(kHeaderLast) + "\t" + LoadResString(kHeaderResult) + "\n";
}

std::string FormatListLine(const CJobReport& r) {
    return PlainText(r.strName) + "\t" + YesNo(r.bActive) + "\t" +
           PlainText(r.scan.m_strDirectory) + "\t" + PlainText(r.strSchedule) + "\t" +
           PlainText(r.strNextStartDate) + "\t" + PlainText(r.strCountdown) + "\t" +
           PlainText(r.strLastStart) + "\t" + ResultText(r) + "\n";
}

std::string FormatShow(const CJobReport& r) {
    const CScanParameter& s = r.scan;
    std::string text;
    auto line = [&text](const char* label, const std::string& value) {
        text += std::string(label) + ": " + PlainText(value) + "\n";
    };
    line("Nazwa", r.strName);
    line("Aktywna", YesNo(r.bActive));
    line("Harmonogram", r.bScheduleValid ? r.strSchedule : "niekompletny");
    line("Rodzaj", kKindTexts[r.nKind]);
    line("W wolnym czasie",
         r.bIdle ? "tak, " + std::to_string(r.nIdleMinutes) + " min" : std::string("nie"));
    line("Następny start", r.strNextStartDate);
    line("Następny start za", r.strCountdown);
    line("Ostatni start", r.strLastStart);
    line("Wynik", r.lastResult ? ResultText(r) + " (" + r.lastResult->GetFinishedIso() + ")"
                               : std::string());
    line("Katalog", s.m_strDirectory);
    line("Podkatalogi", YesNo(s.m_bSubdirectories));
    line("Pliki", Choice(s.m_nFileSelection, {"wszystkie", "tylko pliki programowe"}));
    line("Poszukiwanie heurystyczne", YesNo(s.m_bHeuristic));
    line("Tryb pracy", Choice(s.m_nWindowMode, {"Vex na wierzchu", "uruchamiaj Vex w tle"}));
    line("Po zakończeniu", Choice(s.m_nEndMode, {"nie zatrzymuj", "zatrzymaj w przypadku infekcji",
                                                 "zawsze zakończ"}));
    line("Infekcja", Choice(s.m_nInfectionAction, {"tylko protokół", "zatrzymaj analizę",
                                                   "usuń wirus", "usuń plik", "przesuń plik"}));
    line("Referencje",
         Choice(s.m_nReferenceCheck, {"bez sprawdzania referencji", "wykonaj analizę (zalecana)"}));
    line("Zmiana referencji",
         Choice(s.m_nReferenceDiffAction, {"tylko protokół", "zatrzymaj analizę", "z akceptacją"}));
    line("Protokół",
         Choice(s.m_nLogMode, {"bez protokołu", "połączony protokół", "dokładny protokół"}));
    return text;
}

std::string FormatJson(const CJobReport& r) {
    const CScanParameter& s = r.scan;
    std::string json = "{";
    AppendMember(json, "name", JsonString(r.strName));
    AppendMember(json, "active", JsonBool(r.bActive));
    AppendMember(json, "scheduleComplete", JsonBool(r.bScheduleValid));
    AppendMember(json, "schedule", JsonString(r.strSchedule));
    AppendMember(json, "kind", JsonString(r.strKind));
    for (const auto& [name, value] : r.scheduleFields)
        AppendMember(json, name.c_str(), value);
    AppendMember(json, "idle", JsonBool(r.bIdle));
    AppendMember(json, "idleMinutes", std::to_string(r.nIdleMinutes));
    AppendMember(json, "nextStart", JsonTime(r.nextStart));
    AppendMember(json, "nextStartText", JsonString(r.strNextStartDate));
    AppendMember(json, "countdown", JsonString(r.strCountdown));
    AppendMember(json, "secondsToNextStart", std::to_string(r.nSecondsToNextStart));
    AppendMember(json, "lastStart", JsonTime(r.lastStart));
    AppendMember(json, "lastStartText", JsonString(r.strLastStart));
    AppendMember(json, "lastResult", JsonResult(r.lastResult));
    AppendMember(json, "directory", JsonString(s.m_strDirectory));
    AppendMember(json, "subdirectories", JsonBool(s.m_bSubdirectories));
    AppendMember(json, "files", JsonChoice(s.m_nFileSelection, {"all", "programs"}));
    AppendMember(json, "heuristic", JsonBool(s.m_bHeuristic));
    AppendMember(json, "window", JsonChoice(s.m_nWindowMode, {"front", "background"}));
    AppendMember(json, "end", JsonChoice(s.m_nEndMode, {"continue", "stop-on-infection", "exit"}));
    AppendMember(json, "onInfection",
                 JsonChoice(s.m_nInfectionAction, {"log", "stop", "remove", "delete", "move"}));
    AppendMember(json, "referenceCheck", JsonBool(s.m_nReferenceCheck != 0));
    AppendMember(json, "onReferenceDiff",
                 JsonChoice(s.m_nReferenceDiffAction, {"log", "stop", "accept"}));
    AppendMember(json, "log", JsonChoice(s.m_nLogMode, {"none", "combined", "detailed"}));
    return json + "\n}";
}

std::string FormatJsonArray(const std::vector<CJobReport>& reports) {
    std::string json = "[";
    for (size_t i = 0; i < reports.size(); ++i)
        json += (i ? ",\n" : "\n") + FormatJson(reports[i]);
    return json + (reports.empty() ? "]\n" : "\n]\n");
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out + "\"";
}

std::string Quoted(std::string_view text) {
    return "\"" + PlainText(text) + "\"";
}

std::string PlainText(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return out;
}
