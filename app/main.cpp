#include "AppHelp.h"
#include "ProgramInfo.h"
#include "VigilApp.h"

#include <QApplication>

#include <cstdio>

namespace {

int UsageError(const char* what, const char* option) {
    std::fprintf(stderr, "vex-tempora: %s %s\n%s", what, option, VexTemporaUsage());
    return kExitUsageError;
}

} // namespace

int main(int argc, char** argv) {
    // Answered before any window or display is needed.
    if (const auto code = AnswerInfoOption(argc, argv, "vex-tempora", VexTemporaHelp(), stdout))
        return *code;
    if (LogOptionLacksName(argc, argv))
        return UsageError("brak nazwy analizy po", "--log");
    if (const char* option = FindUnknownOptionBeforeToolkit(argc, argv))
        return UsageError("nieznana opcja", option);
    CVigilApp app(argc, argv);
    if (const char* option = FindUnknownOption(argc, argv))
        return UsageError("nieznana opcja", option);
    if (!app.GetLogJob().empty())
        return app.ShowLogOnly();
    if (!app.InitInstance())
        return 1;
    return app.Run();
}
