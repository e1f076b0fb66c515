#include "AppHelp.h"
#include "ProgramInfo.h"
#include "VigilApp.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // Answered before any window or display is needed.
    if (const auto code = AnswerInfoOption(argc, argv, "vex-tempora", VexTemporaHelp(), stdout))
        return *code;
    CVigilApp app(argc, argv);
    if (const char* option = FindUnknownOption(argc, argv)) {
        std::fprintf(stderr, "vex-tempora: nieznana opcja %s\n%s", option, VexTemporaUsage());
        return kExitUsageError;
    }
    if (!app.GetLogJob().empty())
        return app.ShowLogOnly();
    if (!app.InitInstance())
        return 1;
    return app.Run();
}
