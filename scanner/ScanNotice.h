#pragma once

// The desktop notice after a scan that showed no window and found something
// or failed: sent through the freedesktop notification service on the
// session bus. No bus, or no service: nothing happens, the log has it all.
//
// The scanner never waits for the notice. It starts a helper (this program
// again, "vexscan --notice NAME SUMMARY BODY"), detached in a session of its
// own, and ends. The helper (CNoticeSender, in the notice module) sends the
// notice and, when the service offers actions, waits a limited time for a
// click on "Pokaż protokół", which starts "vex-tempora --log NAME"; it ends
// at the click, when the notice is closed, or at the time limit (then it
// withdraws the notice, whose button would do nothing any more). The helper
// sends the notice itself because services may report the click only to the
// connection that sent it.

#include "ScanResult.h"

#include <QString>

#include <string>

class CScanNotice {
public:
    // The scan found something (infected or changed files) or failed.
    static bool IsWanted(const CScanResult& result);
    // The session bus can be reached without starting one: its address is
    // set, or the usual socket in XDG_RUNTIME_DIR exists.
    static bool HasSessionBus();

    // "Vex: znaleziono 2 zainfekowane pliki w analizie „Dom”" and the like.
    static QString Summary(const std::string& jobName, const CScanResult& result);
    // The counts of the scan, one sentence.
    static QString Body(const CScanResult& result);

    // Starts the detached helper for a finished scan (when a bus is there);
    // returns at once. False when no helper was started.
    static bool Post(const std::string& jobName, const CScanResult& result);
};
