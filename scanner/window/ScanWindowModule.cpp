// The window module of vexscan: the toolkit and the scan window, loaded only
// when a scan is to be shown.
#include "ScanModules.h"
#include "ScanWindow.h"
#include "Toolbar.h"

#include <QApplication>
#include <QIcon>

#include <cstdlib>
#include <memory>
#include <type_traits>

namespace {

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

extern "C" __attribute__((visibility("default"))) bool VexscanRunInWindow_2(CWindowRun& run) {
    const std::unique_ptr<QApplication> toolkit = WindowToolkit(*run.pArgc, run.argv);
    if (!toolkit)
        return false;
    QApplication::setWindowIcon(
        QIcon(QStringLiteral(":/images/") + QString::fromLatin1(res::AppIconImage())));
    run.result = RunScanInWindow(run.task, run.strJobName, run.nEndMode, run.onFinished);
    return true;
}

// The entry's type is the one the loader calls it by.
static_assert(std::is_same_v<decltype(&VexscanRunInWindow_2), WindowEntry>);
