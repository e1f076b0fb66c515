#include "AppHelp.h"

#include <cstring>

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
