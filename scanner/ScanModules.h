#pragma once

#include "ScanResult.h"

#include <functional>
#include <string>

// What needs more than QtCore lives in modules of vexscan's own, so that a
// scan that shows no window maps neither the widget nor the bus libraries:
// the scan window (Qt Widgets) and the desktop notice helper (QtDBus). The
// modules lie in the program's private library folder, at a fixed path
// relative to the program's own folder, in the build tree as installed.

// What the scanner hands the window module.
struct CWindowRun {
    int* pArgc = nullptr;
    char** argv = nullptr;
    std::string strJobName;
    int nEndMode = 1;
    CScanTask task;
    // Gets the result on the scan's thread as soon as the scan ends.
    std::function<void(const CScanResult&)> onFinished;
    CScanResult result; // set when the window ran the scan
};

// Shows the scan in its window when a display can be reached, runs it and
// returns true once the window has closed; false, with nothing run, when no
// display answers.
using WindowEntry = bool (*)(CWindowRun& run);
// The notice helper's whole work ("vexscan --notice ..."): its exit code.
using NoticeEntry = int (*)(int argc, char** argv);

// The entries' names carry the number of this interface; it changes with any
// change above, so that a module of another build is refused, not misread.
inline constexpr const char* kWindowModule = "vexscan-window.so";
inline constexpr const char* kWindowEntry = "VexscanRunInWindow_2";
inline constexpr const char* kNoticeModule = "vexscan-notice.so";
inline constexpr const char* kNoticeEntry = "VexscanRunNotice_1";

// Loads a module from the private folder and finds its entry; null with the
// reason in error when either cannot be had.
void* LoadModuleEntry(const char* module, const char* entry, std::string& error);
