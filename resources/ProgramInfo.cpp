#include "ProgramInfo.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>

std::string VersionText(const char* pszProgram) {
    return std::string(pszProgram) +
           " (Vex Tempora) " VEX_VERSION "\n"
           "Copyright (C) 2026 Vex Tempora developers\n"
           "Licencja GPL w wersji 2 lub późniejszej "
           "<https://www.gnu.org/licenses/old-licenses/gpl-2.0.html>.\n"
           "To jest wolne oprogramowanie: wolno je zmieniać i rozpowszechniać.\n"
           "Autorzy nie dają ŻADNEJ GWARANCJI w granicach dopuszczonych prawem.\n";
}

std::optional<int> AnswerInfoOption(int argc, char** argv, const char* pszProgram,
                                    const char* pszHelp, std::FILE* out) {
    if (argc != 2 || argv[1] == nullptr)
        return std::nullopt;
    if (std::strcmp(argv[1], "--version") == 0)
        std::fputs(VersionText(pszProgram).c_str(), out);
    else if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        std::fputs(pszHelp, out);
    else
        return std::nullopt;
    return 0;
}

void UseUserLocaleForMessages() {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    // Logs are UTF-8 whatever the user's character set: the translated
    // texts are then converted to it.
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
}
