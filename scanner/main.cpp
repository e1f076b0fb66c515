// vexscan -c FILE: runs the scan that the command file FILE describes.
// Exit code 0: clean; 1: infected or changed files found; 2: error.
#include "CommandFile.h"
#include "ProgramInfo.h"
#include "ResultWriter.h"
#include "ScanNotice.h"
#include "ScanPaths.h"
#include "ScanWindow.h"
#include "Scanner.h"
#include "ScannerHelp.h"
#include "Settings.h"
#include "StatePaths.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// The folder of signature databases: $VEX_SIGNATURES, else the value the
// installation wrote into the settings, else the updater's usual folder.
std::string SignatureFolder() {
    if (const char* env = std::getenv("VEX_SIGNATURES"); env && *env)
        return env;
    return RegGetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kSignaturesValue,
                        kDefaultSignatureFolder);
}

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

// The toolkit for the scan window, or null when no window can be shown. A
// display that cannot be reached must not end the scan, so unless the user
// chose a platform, the offscreen one is the fallback, and means "no window".
std::unique_ptr<QApplication> WindowToolkit(int& argc, char** argv) {
    const bool chosen = std::getenv("QT_QPA_PLATFORM") && *std::getenv("QT_QPA_PLATFORM");
    if (!chosen) {
        const bool wayland = std::getenv("WAYLAND_DISPLAY") && !std::getenv("DISPLAY");
        ::setenv("QT_QPA_PLATFORM", wayland ? "wayland;xcb;offscreen" : "xcb;wayland;offscreen", 1);
    }
    auto app = std::make_unique<QApplication>(argc, argv);
    if (!chosen) {
        ::unsetenv("QT_QPA_PLATFORM");
        if (QGuiApplication::platformName() == "offscreen")
            return nullptr;
    }
    return app;
}

} // namespace

int main(int argc, char** argv) {
    if (const auto code = AnswerInfoOption(argc, argv, "vexscan", VexscanHelp(), stdout))
        return *code;
    if (argc >= 2 && std::strcmp(argv[1], "--notice") == 0)
        return CScanNotice::RunHelper(argc, argv);
    if (argc != 3 || std::strcmp(argv[1], "-c") != 0) {
        std::fprintf(stderr, "vexscan: błędne wywołanie\n%s", VexscanUsage());
        return kExitUsageError;
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

    // "Vex na wierzchu": a window when there is a display. In the background,
    // or without a display, nothing ever waits for a user.
    const char* window = std::getenv("VEX_WINDOW");
    const bool shown = !(window && std::strcmp(window, "hidden") == 0);
    std::unique_ptr<QApplication> toolkit;
    if (shown && HasDisplay())
        toolkit = WindowToolkit(argc, argv);

    CScanner scanner(cmd, CScanPaths::ForJob(StateRoot(), cmd.m_strJobName), SignatureFolder());
    // The job's last result is stored when the scan ends, not when its
    // window closes.
    auto recordResult = [&cmd](const CScanResult& r) { WriteScanResult(cmd.m_strJobName, r); };
    CScanResult result;
    if (toolkit) {
        result = RunScanInWindow(scanner, cmd.m_strJobName, cmd.m_nEndMode, recordResult);
    } else {
        result = scanner.Run();
        recordResult(result);
        // Without a window nobody saw the scan: a finding or a failure gets
        // a desktop notice, sent by a detached helper so nothing waits here.
        if (CScanNotice::IsWanted(result))
            CScanNotice::Post(cmd.m_strJobName, result);
        if (shown) {
            std::printf("%s\n", result.Text(cmd.m_strJobName, cmd.m_strDirectory).c_str());
            std::fflush(stdout);
        }
    }
    return result.ExitCode();
}
