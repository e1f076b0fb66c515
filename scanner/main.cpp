// vexscan -c FILE: runs the scan that the command file FILE describes.
// Exit code 0: clean; 1: infected or changed files found; 2: error.
#include "CommandFile.h"
#include "ScanPaths.h"
#include "Scanner.h"
#include "Settings.h"
#include "StatePaths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// With its window shown the scanner may keep it open for the user: end mode 0
// always waits, 1 waits after a finding, 2 never waits. Here the "window" is
// the terminal, and only an interactive one is waited for.
void WaitForUser(int endMode, int exitCode) {
    bool wait = endMode == 0 || (endMode == 1 && exitCode == 1);
    if (!wait || !::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO))
        return;
    std::printf("Naciśnij Enter, aby zamknąć.\n");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) {
        // End of input closes as well.
    }
}

// The folder of signature databases: $VEX_SIGNATURES, else the value the
// installation wrote into the settings, else the updater's usual folder.
std::string SignatureFolder() {
    if (const char* env = std::getenv("VEX_SIGNATURES"); env && *env)
        return env;
    return RegGetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kSignaturesValue,
                        kDefaultSignatureFolder);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "-c") != 0) {
        std::fprintf(stderr, "usage: vexscan -c COMMAND-FILE\n");
        return 2;
    }
    const std::string commandFile = argv[2];
    CScanCommand cmd;
    std::string error;
    if (!ReadCommandFile(commandFile, cmd, error)) {
        // A file we cannot understand is left in place: it may not be ours.
        std::fprintf(stderr, "vexscan: damaged command file %s: %s\n", commandFile.c_str(),
                     error.c_str());
        return 2;
    }
    // Its content is in memory now; nobody else cleans it up.
    ::unlink(commandFile.c_str());

    const char* window = std::getenv("VEX_WINDOW");
    const bool shown = !(window && std::strcmp(window, "hidden") == 0);

    CScanner scanner(cmd, CScanPaths::ForJob(StateRoot(), cmd.m_strJobName), SignatureFolder());
    CScanResult result = scanner.Run();
    if (shown) {
        std::printf("%s\n", result.Text(cmd.m_strJobName, cmd.m_strDirectory).c_str());
        std::fflush(stdout);
        WaitForUser(cmd.m_nEndMode, result.ExitCode());
    }
    return result.ExitCode();
}
