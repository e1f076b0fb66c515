#pragma once

// The text of `vexscan --help`.
const char* VexscanHelp();
// The usage line shown with a usage error.
const char* VexscanUsage();
