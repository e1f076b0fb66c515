// The notice module of vexscan: the helper that sends the desktop notice
// over the session bus, loaded only by "vexscan --notice".
#include "NoticeSender.h"
#include "ScanModules.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) int VexscanRunNotice_1(int argc, char** argv) {
    return CNoticeSender::RunHelper(argc, argv);
}

// The entry's type is the one the loader calls it by.
static_assert(std::is_same_v<decltype(&VexscanRunNotice_1), NoticeEntry>);
