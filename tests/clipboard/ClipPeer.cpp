// A second copy of the program's clipboard code, for the test that moves a
// job between two processes on one X display. The store is the one of the
// state root in RAMPART_ROOT.
//
//   clip_peer probe        connects to the display and exits 0
//   clip_peer copy NAME    copies job NAME, prints "copied", then keeps the
//                          clipboard served until its standard input closes
//   clip_peer paste        pastes, prints the number of jobs added; exit 0
//                          when at least one was added
#include "Clipboard.h"
#include "ModalSeam.h"
#include "ScanRegInterface.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
int Copy(QApplication& app, CRegInterface& store, const char* name) {
    if (!CJobClipboard::Copy(store, {name}))
        return 4;
    std::printf("copied\n");
    std::fflush(stdout);
    // The clipboard's data lives in this process: serve it until told to end.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
        char buf[64];
        if (read(STDIN_FILENO, buf, sizeof buf) <= 0)
            app.quit();
    });
    QTimer::singleShot(30000, &app, &QApplication::quit);
    app.exec();
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    if (std::strcmp(argv[1], "probe") == 0)
        return 0;

    SetModalHook([](QDialog& box) {
        std::fprintf(stderr, "message %u\n", MessageBoxStringId(box));
        return IDOK;
    });
    CScanRegInterface store;
    if (!store.Open(kJobKeyPath))
        return 3;
    if (std::strcmp(argv[1], "copy") == 0 && argc > 2)
        return Copy(app, store, argv[2]);
    if (std::strcmp(argv[1], "paste") == 0) {
        int added = CJobClipboard::Paste(store);
        std::printf("%d\n", added);
        return added > 0 ? 0 : 5;
    }
    return 2;
}
