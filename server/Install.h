#pragma once

// `vexserv --install`: prepares a state root for use. Creates the job key and
// the machine values the window and the server rely on, when they are
// missing; existing keys and values are left as they are, so running it
// again changes nothing. The one exception: a recorded scanner that cannot
// be started is replaced by this vexserv's own, with a message on err.

#include <cstdio>
#include <string>

struct CInstallPaths {
    std::string strScanner;  // absolute path of vexscan
    std::string strHelpFile; // absolute path of the help index
};

// Paths for a vexserv that lives in strExeDir: the build tree's scanner and
// the source tree's help pages when it runs from the build tree, otherwise
// the installed layout (vexscan beside vexserv, help below the prefix).
CInstallPaths InstallPathsFor(const std::string& strExeDir);

// The folder of the running program.
std::string ProgramDirectory();

// Returns the exit code: 0 done, 2 when the registry could not be written
// (with a message on err). With bRepair a damaged job store is mended first
// (RegRepairHive): its indexes are rebuilt from the tables, every job kept;
// a store whose tables lost rows is left as it is, with the way to recover
// them on err, and 2.
int RunInstall(const CInstallPaths& paths, std::FILE* err, bool bRepair = false);
