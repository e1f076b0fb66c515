#include "AppHelp.h"

#include <cstring>
#include <string_view>

namespace {

// The toolkit's command-line options; the first group takes a value.
constexpr std::string_view kToolkitWithValue[] = {"platform",
                                                  "platformpluginpath",
                                                  "platformtheme",
                                                  "plugin",
                                                  "qwindowgeometry",
                                                  "qwindowicon",
                                                  "qwindowtitle",
                                                  "session",
                                                  "display",
                                                  "geometry",
                                                  "style",
                                                  "stylesheet",
                                                  "title",
                                                  "name",
                                                  "visual",
                                                  "ncols",
                                                  "cmap",
                                                  "fn",
                                                  "font",
                                                  "bg",
                                                  "background",
                                                  "fg",
                                                  "foreground",
                                                  "btn",
                                                  "button",
                                                  "im",
                                                  "inputstyle",
                                                  "dialogs",
                                                  "fontengine",
                                                  "qmljsdebugger"};
constexpr std::string_view kToolkitFlags[] = {"reverse", "widgetcount", "nograb", "dograb",
                                              "sync",    "testability", "qdevel", "qdebug"};

// The toolkit's option named by arg ("-x", "--x" or "-x=value"): 0 when it
// is none, 1 for a flag or a value given after "=", 2 when the next
// argument is its value.
int ToolkitOptionWidth(const char* arg) {
    std::string_view name(arg);
    name.remove_prefix(name.starts_with("--") ? 2 : 1);
    const size_t eq = name.find('=');
    const bool inlineValue = eq != std::string_view::npos;
    name = name.substr(0, eq);
    for (std::string_view known : kToolkitWithValue)
        if (name == known)
            return inlineValue ? 1 : 2;
    for (std::string_view known : kToolkitFlags)
        if (name == known && !inlineValue)
            return 1;
    return 0;
}

} // namespace

const char* VexTemporaUsage() {
    return "Użycie: vex-tempora [PLIK.scj] [opcje Qt] | --log NAZWA | --help | --version\n";
}

const char* VexTemporaHelp() {
    return "vex-tempora - okno \"Ustawienia periodyczne Vex\"\n"
           "\n"
           "Użycie: vex-tempora [PLIK.scj] [opcje Qt] | --log NAZWA | --help | --version\n"
           "\n"
           "Otwiera listę analiz. PLIK.scj to plik analiz, który okno wczytuje do bazy\n"
           "analiz (o zajętą nazwę pyta, jak przy imporcie).\n"
           "\n"
           "  --log NAZWA  tylko protokół analizy NAZWA (jak „Pokaż protokół”)\n"
           "  --help       ten opis\n"
           "  --version    wersja i licencja\n"
           "\n"
           "Przyjmuje też opcje biblioteki Qt, na przykład -platform offscreen.\n"
           "Katalog stanu: $RAMPART_ROOT albo $XDG_DATA_HOME/rampart.\n"
           "Kody wyjścia: 0 okno zamknięte, 1 baza analiz nie daje się otworzyć,\n"
           "2 błędne wywołanie.\n";
}

const char* FindUnknownOption(int argc, char** argv) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return nullptr;
        if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) {
            ++i; // its value is a job name, whatever it looks like
            continue;
        }
        if (argv[i][0] == '-' && argv[i][1] != '\0')
            return argv[i];
    }
    return nullptr;
}

const char* FindUnknownOptionBeforeToolkit(int argc, char** argv) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return nullptr;
        if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) {
            ++i;
            continue;
        }
        if (argv[i][0] != '-' || argv[i][1] == '\0')
            continue;
        const int width = ToolkitOptionWidth(argv[i]);
        if (width == 0)
            return argv[i];
        i += width - 1;
    }
    return nullptr;
}

bool LogOptionLacksName(int argc, char** argv) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (std::strcmp(argv[i], "--log") == 0 && ++i >= argc)
            return true;
    }
    return false;
}
