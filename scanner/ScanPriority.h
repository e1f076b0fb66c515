#pragma once

#include <string>

// Scans that vexserv starts give way to everything else on the machine: the
// server puts VEX_PRIORITY=background into the environment that its scanners
// inherit. A scan started by "run now" keeps the priority of whoever started
// it.

// Lowers the calling thread to nice 10 (unless it is lower already) and to
// the idle I/O class. Called before the scan starts any thread, so that
// every thread of the scan inherits it. False with the reason on failure.
bool LowerToBackground(std::string& error);

// The priority of the calling thread for the log: "nice 10, we/wy:
// bezczynne" and the like.
std::string DescribePriority();
