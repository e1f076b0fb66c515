// vexserv: the scan server. "vexserv --install" prepares the state root;
// plain "vexserv" runs the server until SIGTERM or SIGINT.

#include "Install.h"
#include "LineText.h"
#include "ProgramInfo.h"
#include "Scheduler.h"
#include "Server.h"
#include "ServerHelp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (const auto code = AnswerInfoOption(argc, argv, "vexserv", VexservHelp(), stdout))
        return *code;
    UseUserLocaleForMessages();
    if (argc >= 2 && argc <= 3 && std::strcmp(argv[1], "--install") == 0 &&
        (argc == 2 || std::strcmp(argv[2], "--repair") == 0))
        return RunInstall(InstallPathsFor(ProgramDirectory()), stderr, argc == 3);
    if (argc != 1) {
        std::fprintf(stderr, "vexserv: błędne wywołanie\n%s", VexservUsage());
        return kExitUsageError;
    }
    // Every scanner the server starts inherits this and runs at low CPU and
    // I/O priority (scanner/ScanPriority.h); "run now" does not set it. Set
    // before any thread exists.
    ::setenv("VEX_PRIORITY", "background", 1);

    CServer server;
    server.HandleStopSignals();
    std::string strError;
    if (!server.Start(strError)) {
        std::fprintf(stderr, "vexserv: %s\n", EscapeControls(strError).c_str());
        return server.IsAnotherRunning() ? 1 : 2;
    }
    CScheduler scheduler;
    return server.Run(&scheduler);
}
