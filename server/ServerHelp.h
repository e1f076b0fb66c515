#pragma once

// The text of `vexserv --help`.
const char* VexservHelp();
// The usage line shown with a usage error.
const char* VexservUsage();
