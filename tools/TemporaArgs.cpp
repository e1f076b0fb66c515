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
#include <charconv>
#include <map>
#include <optional>

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
};
const COptionSpec kJsonOption[] = {{"--json", 0}};
const COptionSpec kImportOptions[] = {{"--replace", 0}, {"--keep", 0}};
const COptionSpec kLogOptions[] = {{"--runs", 1}};

template <size_t N> std::vector<COptionSpec> Specs(const COptionSpec (&specs)[N]) {
    return std::vector<COptionSpec>(specs, specs + N);
}

std::vector<COptionSpec> OptionsOf(TemporaCommand command) {
    switch (command) {
    case TemporaCommand::Add:
        return Specs(kAddOptions);
    case TemporaCommand::List:
    case TemporaCommand::Show:
        return Specs(kJsonOption);
    case TemporaCommand::Import:
        return Specs(kImportOptions);
    case TemporaCommand::Log:
        return Specs(kLogOptions);
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

std::optional<int> ParseDayOfWeek(const std::string& text) {
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

class CAddBuilder {
public:
    CAddBuilder(const OptionValues& options, CTemporaRequest& request, std::string& error)
        : m_options(options), m_request(request), m_strError(error) {}

    bool Build() { return BuildSchedule() && BuildIdle() && BuildScan(); }

private:
    bool Has(const char* name) const { return m_options.count(name) != 0; }
    const std::vector<std::string>& Values(const char* name) const { return m_options.at(name); }

    bool Fail(const std::string& text) {
        m_strError = text;
        return false;
    }

    bool BuildSchedule();
    bool BuildDays(CDaily& daily);
    bool BuildIdle();
    bool BuildScan();
    bool BuildEndMode();

    const OptionValues& m_options;
    CTemporaRequest& m_request;
    std::string& m_strError;
};

bool CAddBuilder::BuildSchedule() {
    int kinds = 0;
    for (const char* name :
         {"--once", "--hourly", "--daily", "--weekly", "--monthly", "--at-startup"})
        kinds += Has(name) ? 1 : 0;
    if (kinds != 1)
        return Fail(kinds == 0 ? "brak harmonogramu (--once, --hourly, --daily, --weekly, "
                                 "--monthly albo --at-startup)"
                               : "podaj tylko jeden harmonogram");
    if (Has("--days") && !Has("--daily"))
        return Fail("--days działa tylko z --daily");

    int nHour = 0;
    int nMinute = 0;
    if (Has("--once")) {
        SYSTEMTIME st{};
        if (!ParseDateTime(Values("--once")[0], st))
            return Fail("--once wymaga daty i godziny \"RRRR-MM-DD GG:MM\"");
        auto once = std::make_unique<COnce>();
        once->Set(true, &st);
        m_request.pPeriod = std::move(once);
    } else if (Has("--hourly")) {
        const auto minute = ParseNumber(Values("--hourly")[0], 0, 59);
        if (!minute)
            return Fail("--hourly wymaga minuty 0-59");
        auto hourly = std::make_unique<CHourly>();
        hourly->SetMinute(true, *minute);
        m_request.pPeriod = std::move(hourly);
    } else if (Has("--daily")) {
        if (!ParseTime(Values("--daily")[0], nHour, nMinute))
            return Fail("--daily wymaga godziny GG:MM");
        auto daily = std::make_unique<CDaily>();
        daily->Set(true, &nHour, &nMinute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
        if (Has("--days") && !BuildDays(*daily))
            return false;
        m_request.pPeriod = std::move(daily);
    } else if (Has("--weekly")) {
        const auto day = ParseDayOfWeek(Values("--weekly")[0]);
        if (!day || !ParseTime(Values("--weekly")[1], nHour, nMinute))
            return Fail("--weekly wymaga dnia (mon ... sun) i godziny GG:MM");
        auto weekly = std::make_unique<CWeekly>();
        weekly->Set(true, nHour, nMinute, *day);
        m_request.pPeriod = std::move(weekly);
    } else if (Has("--monthly")) {
        const auto day = ParseNumber(Values("--monthly")[0], 1, 31);
        if (!day || !ParseTime(Values("--monthly")[1], nHour, nMinute))
            return Fail("--monthly wymaga dnia miesiąca 1-31 i godziny GG:MM");
        auto monthly = std::make_unique<CMonthly>();
        monthly->Set(true, nHour, nMinute, *day);
        m_request.pPeriod = std::move(monthly);
    } else {
        m_request.pPeriod = std::make_unique<CAtStartup>();
    }
    return true;
}

bool CAddBuilder::BuildDays(CDaily& daily) {
    // Flags in the order Monday ... Sunday, as the schedule keeps them.
    int flags[7] = {0, 0, 0, 0, 0, 0, 0};
    const std::string& list = Values("--days")[0];
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const auto day = ParseDayOfWeek(list.substr(start, comma - start));
        if (!day)
            return Fail("--days wymaga listy dni: mon,tue,wed,thu,fri,sat,sun");
        flags[(*day + 5) % 7] = 1; // Sunday (1) is the last flag
        start = comma + 1;
    }
    daily.Set(true, nullptr, nullptr, &flags[0], &flags[1], &flags[2], &flags[3], &flags[4],
              &flags[5], &flags[6]);
    return true;
}

bool CAddBuilder::BuildIdle() {
    if (!Has("--idle"))
        return true;
    const auto minutes = ParseNumber(Values("--idle")[0], 1, 30);
    if (!minutes)
        return Fail("--idle wymaga liczby minut 1-30");
    m_request.pPeriod->SetIdle(true, *minutes);
    return true;
}

bool CAddBuilder::BuildScan() {
    CScanParameter& scan = m_request.scan;
    if (Has("--dir")) {
        scan.m_strDirectory = Values("--dir")[0];
        if (scan.m_strDirectory.empty())
            return Fail("--dir wymaga katalogu");
    }
    scan.m_bSubdirectories = !Has("--no-subdirs");
    scan.m_nFileSelection = Has("--all-files") ? 0 : 1;
    scan.m_bHeuristic = !Has("--no-heuristic");
    scan.m_nReferenceCheck = Has("--no-reference-check") ? 0 : 1;
    if (Has("--on-infection")) {
        const auto action =
            ParseChoice(Values("--on-infection")[0], {"log", "stop", "remove", "delete", "move"});
        if (!action)
            return Fail("--on-infection: log, stop, remove, delete albo move");
        scan.m_nInfectionAction = *action;
    }
    if (Has("--on-reference-diff")) {
        const auto action =
            ParseChoice(Values("--on-reference-diff")[0], {"log", "stop", "accept"});
        if (!action)
            return Fail("--on-reference-diff: log, stop albo accept");
        scan.m_nReferenceDiffAction = *action;
    }
    if (Has("--log")) {
        const auto mode = ParseChoice(Values("--log")[0], {"none", "combined", "detailed"});
        if (!mode)
            return Fail("--log: none, combined albo detailed");
        scan.m_nLogMode = *mode;
    }
    m_request.bActive = !Has("--inactive");
    return BuildEndMode();
}

// As in the scan options dialog, a scanner in the background always exits
// when the scan is over.
bool CAddBuilder::BuildEndMode() {
    CScanParameter& scan = m_request.scan;
    if (Has("--end")) {
        const auto mode =
            ParseChoice(Values("--end")[0], {"continue", "stop-on-infection", "exit"});
        if (!mode)
            return Fail("--end: continue, stop-on-infection albo exit");
        scan.m_nEndMode = *mode;
    }
    if (Has("--background")) {
        if (Has("--end") && scan.m_nEndMode != 2)
            return Fail("--background kończy skaner zawsze (--end exit)");
        scan.m_nWindowMode = 1;
        scan.m_nEndMode = 2;
    }
    return true;
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

bool ValidateName(const std::string& name, std::string& error, size_t nMaxLength) {
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
        return true;
    default:
        request.strName = positional[0];
        // Only a new job's name is held to the limit: a longer one already
        // stored must still be shown, switched and deleted by its name.
        if (!ValidateName(request.strName, strError,
                          request.command == TemporaCommand::Add ? CJob::kMaxNameLength
                                                                 : REG_MAX_VALUE_NAME))
            return false;
        return request.command != TemporaCommand::Add ||
               CAddBuilder(options, request, strError).Build();
    }
}

const char* TemporaUsage() {
    return "Użycie: tempora list [--json] | show NAZWA [--json] | add NAZWA HARMONOGRAM [OPCJE] |\n"
           "       tempora enable|disable|delete|run NAZWA | export PLIK |\n"
           "       tempora import PLIK [--replace|--keep] | log NAZWA [--runs N] | --help\n";
}

const char* TemporaHelp() {
    return "tempora - analizy Vex Tempora z wiersza poleceń\n"
           "\n"
           "Polecenia:\n"
           "  list [--json]              wszystkie analizy, po wierszu na każdą\n"
           "  show NAZWA [--json]        wszystkie ustawienia jednej analizy\n"
           "  add NAZWA HARMONOGRAM [OPCJE]\n"
           "                             nowa analiza\n"
           "  enable NAZWA               włącza analizę\n"
           "  disable NAZWA              wyłącza analizę\n"
           "  delete NAZWA               usuwa analizę\n"
           "  run NAZWA                  uruchamia analizę teraz\n"
           "  export PLIK                zapisuje wszystkie analizy do pliku .scj\n"
           "  import PLIK [--replace|--keep]\n"
           "                             wczytuje analizy z pliku .scj; zajęta nazwa:\n"
           "                             --replace zastępuje, --keep zostawia,\n"
           "                             bez opcji pytanie w terminalu\n"
           "  log NAZWA [--runs N]       protokół analizy (ostatnie N przebiegów)\n"
           "\n"
           "Harmonogram (dokładnie jeden):\n"
           "  --once \"RRRR-MM-DD GG:MM\"   jednorazowo\n"
           "  --hourly MM                co godzinę, MM minut po pełnej godzinie\n"
           "  --daily GG:MM [--days mon,tue,wed,thu,fri,sat,sun]\n"
           "                             codziennie (w wybrane dni)\n"
           "  --weekly DZIEŃ GG:MM       raz w tygodniu (DZIEŃ: mon ... sun)\n"
           "  --monthly D GG:MM          raz w miesiącu, dnia D (1-31)\n"
           "  --at-startup               przy starcie komputera\n"
           "  --idle MINUTY              w wolnym czasie, 1-30 minut\n"
           "\n"
           "Opcje analizy:\n"
           "  --dir KATALOG              katalog (domyślnie /)\n"
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
           "Kody wyjścia: 0 powodzenie, 1 baza odmówiła albo analiza nie istnieje,\n"
           "2 błędne wywołanie. Katalog stanu: $RAMPART_ROOT albo\n"
           "$XDG_DATA_HOME/rampart.\n";
}
