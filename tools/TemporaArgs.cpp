#include "TemporaArgs.h"

#include "AtStartup.h"
#include "Daily.h"
#include "Hourly.h"
#include "Job.h"
#include "Monthly.h"
#include "Once.h"
#include "Registry.h"
#include "Weekly.h"

#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

namespace {

struct CCommandName {
    const char* pszName;
    TemporaCommand command;
    int nPositional; // NAME or FILE
};

const CCommandName kCommands[] = {
    {"list", TemporaCommand::List, 0},       {"show", TemporaCommand::Show, 1},
    {"add", TemporaCommand::Add, 1},         {"enable", TemporaCommand::Enable, 1},
    {"disable", TemporaCommand::Disable, 1}, {"delete", TemporaCommand::Delete, 1},
    {"run", TemporaCommand::Run, 1},         {"export", TemporaCommand::Export, 1},
    {"import", TemporaCommand::Import, 1},   {"log", TemporaCommand::Log, 1},
    {"edit", TemporaCommand::Edit, 1},       {"status", TemporaCommand::Status, 0},
    {"metrics", TemporaCommand::Metrics, 0}, {"quarantine", TemporaCommand::Quarantine, 0},
    {"running", TemporaCommand::Running, 0}, {"stop", TemporaCommand::Stop, 1},
};

// Options and the number of values each takes.
struct COptionSpec {
    const char* pszName;
    int nValues;
};

const COptionSpec kAddOptions[] = {
    {"--once", 1},
    {"--hourly", 1},
    {"--daily", 1},
    {"--weekly", 2},
    {"--monthly", 2},
    {"--at-startup", 0},
    {"--days", 1},
    {"--idle", 1},
    {"--dir", 1},
    {"--no-subdirs", 0},
    {"--all-files", 0},
    {"--no-heuristic", 0},
    {"--background", 0},
    {"--end", 1},
    {"--on-infection", 1},
    {"--no-reference-check", 0},
    {"--on-reference-diff", 1},
    {"--log", 1},
    {"--inactive", 0},
    {"--allow-missing", 0},
};
// What only an edit can say: switching back what add switches off, and a
// new name.
const COptionSpec kEditOnlyOptions[] = {
    {"--rename", 1},    {"--no-idle", 0},         {"--subdirs", 0},    {"--program-files", 0},
    {"--heuristic", 0}, {"--reference-check", 0}, {"--foreground", 0}, {"--active", 0},
};
const COptionSpec kJsonOption[] = {{"--json", 0}};
const COptionSpec kListOptions[] = {{"--json", 0}, {"--tsv", 0}};
const COptionSpec kImportOptions[] = {{"--replace", 0}, {"--keep", 0}};
const COptionSpec kLogOptions[] = {{"--runs", 1}};
const COptionSpec kRunOptions[] = {{"--full", 0}, {"--wait", 0}};
const COptionSpec kMetricsOptions[] = {{"--file", 1}, {"--no-file", 0}};

template <size_t N> std::vector<COptionSpec> Specs(const COptionSpec (&specs)[N]) {
    return std::vector<COptionSpec>(specs, specs + N);
}

std::vector<COptionSpec> OptionsOf(TemporaCommand command) {
    switch (command) {
    case TemporaCommand::Add:
        return Specs(kAddOptions);
    case TemporaCommand::Edit: {
        std::vector<COptionSpec> specs = Specs(kAddOptions);
        for (const COptionSpec& spec : kEditOnlyOptions)
            specs.push_back(spec);
        return specs;
    }
    case TemporaCommand::List:
        return Specs(kListOptions);
    case TemporaCommand::Show:
    case TemporaCommand::Running:
        return Specs(kJsonOption);
    case TemporaCommand::Import:
        return Specs(kImportOptions);
    case TemporaCommand::Log:
        return Specs(kLogOptions);
    case TemporaCommand::Run:
        return Specs(kRunOptions);
    case TemporaCommand::Metrics:
        return Specs(kMetricsOptions);
    default:
        return {};
    }
}

// Weekday names in the order of GetDayOfWeek (1 = Sunday ... 7 = Saturday).
const std::array<const char*, 7> kDayNames = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

// A whole decimal number in [lo, hi], digits only.
std::optional<int> ParseNumber(const std::string& text, int lo, int hi) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
        return std::nullopt;
    return value;
}

// "HH:MM" with 1 or 2 digits each, 00:00 to 23:59.
bool ParseTime(const std::string& text, int& nHour, int& nMinute) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon > 2 || text.size() - colon - 1 > 2)
        return false;
    const auto hour = ParseNumber(text.substr(0, colon), 0, 23);
    const auto minute = ParseNumber(text.substr(colon + 1), 0, 59);
    if (!hour || !minute)
        return false;
    nHour = *hour;
    nMinute = *minute;
    return true;
}

// "YYYY-MM-DD HH:MM" (a "T" may stand for the blank), a date that exists.
bool ParseDateTime(const std::string& text, SYSTEMTIME& st) {
    if (text.size() < 14 || text[4] != '-' || text[7] != '-' ||
        (text[10] != ' ' && text[10] != 'T'))
        return false;
    const auto year = ParseNumber(text.substr(0, 4), 1900, 9999);
    const auto month = ParseNumber(text.substr(5, 2), 1, 12);
    const auto day = ParseNumber(text.substr(8, 2), 1, 31);
    int nHour = 0;
    int nMinute = 0;
    if (!year || !month || !day || !ParseTime(text.substr(11), nHour, nMinute))
        return false;
    const COleDateTime when(*year, *month, *day, nHour, nMinute, 0);
    // The date-time value refuses 31 April and 29 February of common years.
    return when.GetStatus() == COleDateTime::valid && when.GetDay() == *day &&
           when.GetAsSystemTime(st);
}

// "mon" ... "sun" in any case ("Mon", "MON").
std::optional<int> ParseDayOfWeek(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (size_t i = 0; i < kDayNames.size(); ++i)
        if (text == kDayNames[i])
            return static_cast<int>(i) + 1;
    return std::nullopt;
}

// One choice among the named values of a scan option.
std::optional<DWORD> ParseChoice(const std::string& text,
                                 std::initializer_list<const char*> names) {
    DWORD index = 0;
    for (const char* name : names) {
        if (text == name)
            return index;
        ++index;
    }
    return std::nullopt;
}

using OptionValues = std::map<std::string, std::vector<std::string>>;

// The name of a new job (add, --rename) follows the store's rule.
bool ValidateNewName(const std::string& name, std::string& error) {
    const CJob::EFault fault = CJob::CheckName(name);
    if (fault == CJob::EFault::None)
        return true;
    error = "nazwa analizy: " + CJob::DescribeFault(fault);
    return false;
}

// A stored job is still addressed by whatever name it has.
bool ValidateName(const std::string& name, std::string& error,
                  size_t nMaxLength = REG_MAX_VALUE_NAME) {
    if (name.empty()) {
        error = "nazwa analizy nie może być pusta";
        return false;
    }
    if (name.size() > nMaxLength) {
        error = "nazwa analizy może mieć najwyżej " + std::to_string(nMaxLength) + " bajtów";
        return false;
    }
    return true;
}

// Reads the schedule and option flags of add and edit into the changes they
// ask for. An add needs exactly one schedule; an edit at most one.
class CChangeBuilder {
public:
    CChangeBuilder(const OptionValues& options, bool bScheduleRequired, CJobChanges& changes,
                   std::string& error)
        : m_options(options), m_bScheduleRequired(bScheduleRequired), m_changes(changes),
          m_strError(error) {}

    bool Build() { return BuildSchedule() && BuildIdle() && BuildScan(); }

private:
    bool Has(const char* name) const { return m_options.count(name) != 0; }
    const std::vector<std::string>& Values(const char* name) const { return m_options.at(name); }

    bool Fail(const std::string& text) {
        m_strError = text;
        return false;
    }

    bool BuildSchedule();
    bool BuildDays();
    bool BuildIdle();
    bool BuildScan();
    bool BuildDirectory();
    bool BuildSwitches();
    bool BuildChoices();

    // A switch that one flag turns on and another off, both refused together.
    bool Switch(const char* on, const char* off, std::optional<bool>& value);

    const OptionValues& m_options;
    bool m_bScheduleRequired;
    CJobChanges& m_changes;
    std::string& m_strError;
};

bool CChangeBuilder::BuildSchedule() {
    int kinds = 0;
    for (const char* name :
         {"--once", "--hourly", "--daily", "--weekly", "--monthly", "--at-startup"})
        kinds += Has(name) ? 1 : 0;
    if (kinds > 1)
        return Fail("podaj tylko jeden harmonogram");
    if (kinds == 0 && m_bScheduleRequired)
        return Fail("brak harmonogramu (--once, --hourly, --daily, --weekly, "
                    "--monthly albo --at-startup)");
    // An edit may change the days of a stored daily schedule alone.
    if (Has("--days") && !Has("--daily") && (m_bScheduleRequired || kinds != 0))
        return Fail("--days działa tylko z --daily");

    int nHour = 0;
    int nMinute = 0;
    if (Has("--once")) {
        SYSTEMTIME st{};
        if (!ParseDateTime(Values("--once")[0], st))
            return Fail("--once wymaga daty i godziny \"RRRR-MM-DD GG:MM\"");
        auto once = std::make_unique<COnce>();
        once->Set(true, &st);
        m_changes.pPeriod = std::move(once);
    } else if (Has("--hourly")) {
        const auto minute = ParseNumber(Values("--hourly")[0], 0, 59);
        if (!minute)
            return Fail("--hourly wymaga minuty 0-59");
        auto hourly = std::make_unique<CHourly>();
        hourly->SetMinute(true, *minute);
        m_changes.pPeriod = std::move(hourly);
    } else if (Has("--daily")) {
        if (!ParseTime(Values("--daily")[0], nHour, nMinute))
            return Fail("--daily wymaga godziny GG:MM");
        auto daily = std::make_unique<CDaily>();
        daily->Set(true, &nHour, &nMinute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
        m_changes.pPeriod = std::move(daily);
    } else if (Has("--weekly")) {
        const auto day = ParseDayOfWeek(Values("--weekly")[0]);
        if (!day || !ParseTime(Values("--weekly")[1], nHour, nMinute))
            return Fail("--weekly wymaga dnia (mon ... sun) i godziny GG:MM");
        auto weekly = std::make_unique<CWeekly>();
        weekly->Set(true, nHour, nMinute, *day);
        m_changes.pPeriod = std::move(weekly);
    } else if (Has("--monthly")) {
        const auto day = ParseNumber(Values("--monthly")[0], 1, 31);
        if (!day || !ParseTime(Values("--monthly")[1], nHour, nMinute))
            return Fail("--monthly wymaga dnia miesiąca 1-31 i godziny GG:MM");
        auto monthly = std::make_unique<CMonthly>();
        monthly->Set(true, nHour, nMinute, *day);
        m_changes.pPeriod = std::move(monthly);
    } else if (Has("--at-startup")) {
        m_changes.pPeriod = std::make_unique<CAtStartup>();
    }
    return !Has("--days") || BuildDays();
}

bool CChangeBuilder::BuildDays() {
    // Flags in the order Monday ... Sunday, as the schedule keeps them.
    std::array<int, 7> flags = {0, 0, 0, 0, 0, 0, 0};
    const std::string& list = Values("--days")[0];
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const auto day = ParseDayOfWeek(list.substr(start, comma - start));
        if (!day)
            return Fail("--days wymaga listy dni: mon,tue,wed,thu,fri,sat,sun");
        int& flag = flags[(*day + 5) % 7]; // Sunday (1) is the last flag
        if (flag)
            return Fail("--days: dzień " + list.substr(start, comma - start) + " podany dwa razy");
        flag = 1;
        start = comma + 1;
    }
    m_changes.days = flags;
    return true;
}

bool CChangeBuilder::BuildIdle() {
    if (Has("--idle") && Has("--no-idle"))
        return Fail("--idle i --no-idle wykluczają się");
    if (Has("--no-idle"))
        m_changes.idleMinutes = 0;
    if (!Has("--idle"))
        return true;
    const auto minutes = ParseNumber(Values("--idle")[0], 1, 30);
    if (!minutes)
        return Fail("--idle wymaga liczby minut 1-30");
    m_changes.idleMinutes = *minutes;
    return true;
}

bool CChangeBuilder::BuildScan() {
    m_changes.bAllowMissing = Has("--allow-missing");
    if (Has("--rename")) {
        m_changes.newName = Values("--rename")[0];
        if (!ValidateNewName(*m_changes.newName, m_strError))
            return false;
    }
    return BuildDirectory() && BuildSwitches() && BuildChoices();
}

// A relative folder is taken from the current folder, as the shell would,
// and stored absolute: the scanner runs elsewhere.
bool CChangeBuilder::BuildDirectory() {
    if (!Has("--dir"))
        return true;
    const std::string& dir = Values("--dir")[0];
    if (dir.empty())
        return Fail("--dir wymaga katalogu");
    std::filesystem::path path(dir);
    if (path.is_relative()) {
        std::error_code ec;
        path = std::filesystem::absolute(path, ec);
        if (ec)
            return Fail("--dir: nie mogę ustalić bieżącego katalogu dla " + dir);
        m_changes.relativeDirectory = dir;
    }
    std::string absolute = path.lexically_normal().string();
    // "/srv/data/" and "/srv/data/." both mean "/srv/data".
    while (absolute.size() > 1 && absolute.back() == '/')
        absolute.pop_back();
    m_changes.directory = absolute;
    return true;
}

bool CChangeBuilder::Switch(const char* on, const char* off, std::optional<bool>& value) {
    if (Has(on) && Has(off))
        return Fail(std::string(on) + " i " + off + " wykluczają się");
    if (Has(on) || Has(off))
        value = Has(on);
    return true;
}

bool CChangeBuilder::BuildSwitches() {
    return Switch("--subdirs", "--no-subdirs", m_changes.subdirectories) &&
           Switch("--all-files", "--program-files", m_changes.allFiles) &&
           Switch("--heuristic", "--no-heuristic", m_changes.heuristic) &&
           Switch("--reference-check", "--no-reference-check", m_changes.referenceCheck) &&
           Switch("--background", "--foreground", m_changes.background) &&
           Switch("--active", "--inactive", m_changes.active);
}

bool CChangeBuilder::BuildChoices() {
    if (Has("--on-infection")) {
        m_changes.infectionAction =
            ParseChoice(Values("--on-infection")[0], {"log", "stop", "remove", "delete", "move"});
        if (!m_changes.infectionAction)
            return Fail("--on-infection: log, stop, remove, delete albo move");
    }
    if (Has("--on-reference-diff")) {
        m_changes.referenceDiffAction =
            ParseChoice(Values("--on-reference-diff")[0], {"log", "stop", "accept"});
        if (!m_changes.referenceDiffAction)
            return Fail("--on-reference-diff: log, stop albo accept");
    }
    if (Has("--log")) {
        m_changes.logMode = ParseChoice(Values("--log")[0], {"none", "combined", "detailed"});
        if (!m_changes.logMode)
            return Fail("--log: none, combined albo detailed");
    }
    if (Has("--end")) {
        m_changes.endMode =
            ParseChoice(Values("--end")[0], {"continue", "stop-on-infection", "exit"});
        if (!m_changes.endMode)
            return Fail("--end: continue, stop-on-infection albo exit");
    }
    // A scanner in the background always exits when the scan is over.
    if (m_changes.background.value_or(false) && m_changes.endMode.value_or(2) != 2)
        return Fail("--background kończy skaner zawsze (--end exit)");
    return true;
}

// The new job of an add: the given schedule and options on a default job.
bool BuildAddRequest(CTemporaRequest& request, std::string& error) {
    const CJobChanges& changes = request.changes;
    request.pPeriod.reset(changes.pPeriod->Clone());
    if (changes.days)
        static_cast<CDaily&>(*request.pPeriod)
            .Set(true, nullptr, nullptr, &(*changes.days)[0], &(*changes.days)[1],
                 &(*changes.days)[2], &(*changes.days)[3], &(*changes.days)[4], &(*changes.days)[5],
                 &(*changes.days)[6]);
    if (changes.idleMinutes)
        request.pPeriod->SetIdle(true, *changes.idleMinutes);
    request.bActive = changes.active.value_or(true);
    return ApplyScanChanges(changes, request.scan, error);
}

const COptionSpec* FindSpec(const std::vector<COptionSpec>& specs, const std::string& name) {
    for (const COptionSpec& spec : specs)
        if (name == spec.pszName)
            return &spec;
    return nullptr;
}

// Splits the arguments after the command word into positional arguments and
// options with their values. "--name=value" is accepted for one-value options;
// "--" ends the options.
bool SplitArguments(const std::vector<std::string>& args, const std::vector<COptionSpec>& specs,
                    std::vector<std::string>& positional, OptionValues& options,
                    std::string& error) {
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const COptionSpec* spec = FindSpec(specs, name);
        if (!spec) {
            error = "nieznana opcja " + name;
            return false;
        }
        if (options.count(name)) {
            error = "opcja " + name + " podana dwa razy";
            return false;
        }
        std::vector<std::string>& values = options[name];
        if (eq != std::string::npos) {
            if (spec->nValues != 1) {
                error = "opcja " + name + " nie przyjmuje wartości po \"=\"";
                return false;
            }
            values.push_back(arg.substr(eq + 1));
            continue;
        }
        for (int v = 0; v < spec->nValues; ++v) {
            if (++i >= args.size()) {
                error = "opcja " + name + " wymaga wartości";
                return false;
            }
            values.push_back(args[i]);
        }
    }
    return true;
}

// metrics --file PATH records the file the server keeps; --no-file forgets it.
bool ParseMetricsFile(OptionValues& options, CTemporaRequest& request, std::string& strError) {
    request.bNoMetricsFile = options.count("--no-file") != 0;
    if (!options.count("--file"))
        return true;
    request.strFile = options["--file"][0];
    if (request.bNoMetricsFile)
        strError = "--file i --no-file wykluczają się";
    else if (request.strFile.empty() || request.strFile[0] != '/')
        strError = "--file wymaga ścieżki bezwzględnej";
    else if (request.strFile.size() > 259) // the longest setting a reader takes
        strError = "ścieżka --file jest dłuższa niż 259 bajtów";
    return strError.empty();
}

// "quarantine list [--json] | restore ID [--to PATH] | delete ID |
// purge --older-than DAYS".
bool ParseQuarantineArgs(const std::vector<std::string>& args, CTemporaRequest& request,
                         std::string& strError) {
    struct CAction {
        const char* pszName;
        QuarantineAction action;
        std::vector<COptionSpec> options;
        bool bId;
    };
    const CAction kActions[] = {
        {"list", QuarantineAction::List, Specs(kJsonOption), false},
        {"restore", QuarantineAction::Restore, {{"--to", 1}}, true},
        {"delete", QuarantineAction::Delete, {}, true},
        {"purge", QuarantineAction::Purge, {{"--older-than", 1}}, false},
    };
    const CAction* action = nullptr;
    for (const CAction& candidate : kActions)
        if (args.size() > 1 && args[1] == candidate.pszName)
            action = &candidate;
    if (!action) {
        strError = args.size() > 1 ? "nieznane polecenie quarantine " + args[1]
                                   : "polecenie quarantine wymaga list, restore, delete albo purge";
        return false;
    }
    request.quarantine = action->action;
    std::vector<std::string> positional;
    OptionValues options;
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (!SplitArguments(rest, action->options, positional, options, strError))
        return false;
    if (positional.size() != (action->bId ? 1u : 0u)) {
        strError = action->bId && positional.empty()
                       ? std::string("polecenie quarantine ") + action->pszName + " wymaga ID"
                       : "za dużo argumentów";
        return false;
    }
    if (action->bId)
        request.strId = positional[0];
    request.bJson = options.count("--json") != 0;
    if (options.count("--to"))
        request.strTo = options["--to"][0];
    if (action->action == QuarantineAction::Purge) {
        const auto days = options.count("--older-than")
                              ? ParseNumber(options["--older-than"][0], 0, 100000)
                              : std::nullopt;
        if (!days) {
            strError = "purge wymaga --older-than DNI (liczby od 0 do 100000)";
            return false;
        }
        request.nDays = static_cast<unsigned>(*days);
    }
    return true;
}

} // namespace

bool ParseTemporaArgs(const std::vector<std::string>& args, CTemporaRequest& request,
                      std::string& strError) {
    request = CTemporaRequest();
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h") {
            request.command = TemporaCommand::Help;
            return true;
        }
    }
    if (args.empty()) {
        strError = "brak polecenia";
        return false;
    }
    const CCommandName* command = nullptr;
    for (const CCommandName& candidate : kCommands)
        if (args[0] == candidate.pszName)
            command = &candidate;
    if (!command) {
        strError = "nieznane polecenie " + args[0];
        return false;
    }
    request.command = command->command;
    if (request.command == TemporaCommand::Quarantine)
        return ParseQuarantineArgs(args, request, strError);

    std::vector<std::string> positional;
    OptionValues options;
    if (!SplitArguments(args, OptionsOf(command->command), positional, options, strError))
        return false;
    if (positional.size() != static_cast<size_t>(command->nPositional)) {
        const bool file = command->command == TemporaCommand::Export ||
                          command->command == TemporaCommand::Import;
        if (command->nPositional == 0)
            strError = "polecenie " + args[0] + " nie przyjmuje argumentów";
        else if (positional.empty())
            strError = "polecenie " + args[0] + " wymaga argumentu " + (file ? "PLIK" : "NAZWA");
        else
            strError = "za dużo argumentów (nazwę ze spacjami podaj w cudzysłowie)";
        return false;
    }

    request.bJson = options.count("--json") != 0;
    request.bTsv = options.count("--tsv") != 0;
    if (request.bJson && request.bTsv) {
        strError = "--json i --tsv wykluczają się";
        return false;
    }
    request.bFullScan = options.count("--full") != 0;
    if (!ParseMetricsFile(options, request, strError))
        return false;
    request.bWait = options.count("--wait") != 0;
    if (options.count("--replace") && options.count("--keep")) {
        strError = "--replace i --keep wykluczają się";
        return false;
    }
    if (options.count("--replace"))
        request.conflict = ImportConflict::Replace;
    if (options.count("--keep"))
        request.conflict = ImportConflict::Keep;

    if (options.count("--runs")) {
        const auto runs = ParseNumber(options["--runs"][0], 1, 1000000);
        if (!runs) {
            strError = "--runs wymaga liczby od 1 do 1000000";
            return false;
        }
        request.nRuns = static_cast<unsigned>(*runs);
    }

    switch (request.command) {
    case TemporaCommand::Export:
    case TemporaCommand::Import:
        request.strFile = positional[0];
        return true;
    case TemporaCommand::List:
    case TemporaCommand::Status:
    case TemporaCommand::Metrics:
    case TemporaCommand::Running:
        return true;
    default:
        request.strName = positional[0];
        // Only a new job's name is held to the limit: a longer one already
        // stored must still be shown, switched and deleted by its name.
        if (request.command == TemporaCommand::Add ? !ValidateNewName(request.strName, strError)
                                                   : !ValidateName(request.strName, strError))
            return false;
        if (request.command == TemporaCommand::Add)
            return CChangeBuilder(options, true, request.changes, strError).Build() &&
                   BuildAddRequest(request, strError);
        if (request.command == TemporaCommand::Edit) {
            if (options.empty()) {
                strError = "polecenie edit wymaga co najmniej jednej zmiany";
                return false;
            }
            return CChangeBuilder(options, false, request.changes, strError).Build();
        }
        return true;
    }
}

const char* TemporaUsage() {
    return "Użycie: tempora list [--json|--tsv] | show NAZWA [--json] | add NAZWA HARMONOGRAM\n"
           "       [OPCJE] | edit NAZWA [HARMONOGRAM] [OPCJE] [--rename NOWA] | status |\n"
           "       tempora enable|disable|delete NAZWA | run [--full] [--wait] NAZWA |\n"
           "       tempora running [--json] | stop NAZWA | export PLIK |\n"
           "       tempora import PLIK [--replace|--keep] | log NAZWA [--runs N] | --help |\n"
           "       tempora metrics [--file PLIK|--no-file] |\n"
           "       tempora quarantine list [--json] | restore ID [--to ŚCIEŻKA] | delete ID |\n"
           "       tempora quarantine purge --older-than DNI | --version\n";
}

const char* TemporaHelp() {
    return "tempora - analizy Vex Tempora z wiersza poleceń\n"
           "\n"
           "Użycie: tempora POLECENIE [ARGUMENTY] [OPCJE]\n"
           "\n"
           "Polecenia:\n"
           "  list [--json|--tsv]        wszystkie analizy, po wierszu na każdą; --tsv:\n"
           "                             postać dla skryptów (nagłówek, pola rozdzielone\n"
           "                             tabulatorem, czasy ISO 8601, bez słów)\n"
           "  show NAZWA [--json]        wszystkie ustawienia jednej analizy\n"
           "  add NAZWA HARMONOGRAM [OPCJE]\n"
           "                             nowa analiza\n"
           "  edit NAZWA [HARMONOGRAM] [OPCJE] [--rename NOWA]\n"
           "                             zmienia tylko to, co podano; nowy harmonogram\n"
           "                             liczy od teraz, bez niego ostatni start zostaje\n"
           "  status                     czy serwer działa, gdzie są baza analiz, skaner\n"
           "                             i sygnatury, analizy w ciągu 24 godzin,\n"
           "                             uszkodzenie bazy (kod wyjścia 1, gdy baza jest\n"
           "                             uszkodzona, 3, gdy serwer nie działa)\n"
           "  metrics [--file PLIK|--no-file]\n"
           "                             stan analiz i sygnatur w formacie tekstowym\n"
           "                             Prometheusa; --file: serwer przepisuje PLIK po\n"
           "                             każdym wyniku (ustawienie MetricsFile), --no-file\n"
           "                             kończy to\n"
           "  enable NAZWA               włącza analizę\n"
           "  disable NAZWA              wyłącza analizę\n"
           "  delete NAZWA               usuwa analizę\n"
           "  run NAZWA                  uruchamia analizę teraz i wraca od razu\n"
           "    --full                   czyta wszystkie pliki, także niezmienione od\n"
           "                             poprzedniej analizy (pamięć wyników)\n"
           "    --wait                   czeka na koniec analizy, wypisuje jej wynik\n"
           "                             i kończy jej kodem: 0 czysto, 1 znaleziska,\n"
           "                             2 błąd lub przerwanie\n"
           "  running [--json]           analizy, które trwają teraz: proces, start,\n"
           "                             pliki do tej pory\n"
           "  stop NAZWA                 zatrzymuje trwającą analizę (wynik: przerwano)\n"
           "  export PLIK                zapisuje wszystkie analizy do pliku .scj\n"
           "  import PLIK [--replace|--keep]\n"
           "                             wczytuje analizy z pliku .scj; zajęta nazwa:\n"
           "                             --replace zastępuje, --keep zostawia,\n"
           "                             bez opcji pytanie w terminalu\n"
           "  log NAZWA [--runs N]       protokół analizy (ostatnie N przebiegów)\n"
           "  quarantine list [--json]   pliki w kwarantannie: ID, data, rozmiar,\n"
           "                             wykrycie, analiza, miejsce pochodzenia\n"
           "  quarantine restore ID [--to ŚCIEŻKA]\n"
           "                             przywraca plik na jego miejsce (albo do\n"
           "                             ŚCIEŻKI) z jego prawami; nigdy nie nadpisuje\n"
           "  quarantine delete ID       usuwa plik z kwarantanny na zawsze\n"
           "  quarantine purge --older-than DNI\n"
           "                             usuwa pliki starsze niż DNI dni\n"
           "  --help                     ten opis\n"
           "  --version                  wersja i licencja\n"
           "\n"
           "Harmonogram (dla add dokładnie jeden, dla edit najwyżej jeden):\n"
           "  --once \"RRRR-MM-DD GG:MM\"   jednorazowo\n"
           "  --hourly MM                co godzinę, MM minut po pełnej godzinie\n"
           "  --daily GG:MM [--days mon,tue,wed,thu,fri,sat,sun]\n"
           "                             codziennie (w wybrane dni)\n"
           "  --weekly DZIEŃ GG:MM       raz w tygodniu (DZIEŃ: mon ... sun)\n"
           "  --monthly D GG:MM          raz w miesiącu, dnia D (1-31)\n"
           "  --at-startup               przy pierwszym zalogowaniu po starcie\n"
           "                             komputera\n"
           "  --idle MINUTY              w wolnym czasie, 1-30 minut\n"
           "  --no-idle                  (edit) bez czekania na wolny czas\n"
           "\n"
           "Opcje analizy:\n"
           "  --dir KATALOG              katalog (domyślnie /); względny liczy się\n"
           "                             od bieżącego katalogu\n"
           "  --allow-missing            przyjmuje katalog, którego jeszcze nie ma\n"
           "  --no-subdirs               bez podkatalogów\n"
           "  --all-files                wszystkie pliki (domyślnie tylko programowe)\n"
           "  --no-heuristic             bez poszukiwania heurystycznego\n"
           "  --background               skaner w tle (zawsze kończy po analizie)\n"
           "  --end continue|stop-on-infection|exit\n"
           "  --on-infection log|stop|remove|delete|move\n"
           "  --no-reference-check       bez sprawdzania referencji\n"
           "  --on-reference-diff log|stop|accept\n"
           "  --log none|combined|detailed\n"
           "  --inactive                 dodaje analizę wyłączoną\n"
           "\n"
           "Przeciwieństwa dla edit: --subdirs, --program-files, --heuristic,\n"
           "--foreground, --reference-check, --active.\n"
           "Dni tygodnia (mon ... sun) można pisać dowolnymi literami (Mon, MON).\n"
           "\n"
           "Kody wyjścia: 0 powodzenie, 1 baza odmówiła, jest uszkodzona albo analiza\n"
           "nie istnieje (stop: analiza nie trwa), 2 błędne wywołanie, 3 (status) serwer\n"
           "nie działa; run --wait kończy się kodem analizy. Katalog\n"
           "stanu: $RAMPART_ROOT albo $XDG_DATA_HOME/rampart.\n";
}
