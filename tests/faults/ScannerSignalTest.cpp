// A scan ended by a signal from outside (a log-out, Ctrl+C, a stopping
// service) stops its workers, writes its summary and exits.
#include "FaultUtil.h"
#include "ScanPaths.h"
#include "SignatureDb.h"
#include "TempStateRoot.h"

#include <csignal>

TEST(ScannerSignalTest, AScanEndedByASignalWritesItsSummary) {
    CTempStateRoot root;
    const std::string tree = root.Path() + "/tree";
    std::filesystem::create_directory(tree);
    for (int i = 0; i < 20000; ++i)
        std::ofstream(tree + "/f" + std::to_string(i)) << i;
    const std::string signatures = MakeTestSignatures(root.Path() + "/signatures");
    const std::string log = CScanPaths::ForJob(root.Path(), "Sygnał").m_strLog;
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        std::filesystem::remove(log);
        const std::string command = WriteScanCommand(root.Path(), tree, "Sygnał", 0);
        CProgram scan({VEXSCAN_PATH, "-c", command},
                      {{"VEX_WINDOW", "hidden"}, {"VEX_SIGNATURES", signatures}}, root.Path());
        // Signalled once the walk has reached the files.
        ASSERT_TRUE(WaitUntil([&] { return ReadWhole(log).find(tree + "/f") != std::string::npos; },
                              20000));
        ::kill(scan.Pid(), sig);
        const CRunResult r = scan.Wait();
        EXPECT_EQ(r.code, 2) << sig << r.err;
        const std::string text = ReadWhole(log);
        EXPECT_NE(text.find(", analiza przerwana sygnałem " + std::to_string(sig) + "\n"),
                  std::string::npos)
            << sig << text.substr(text.size() > 300 ? text.size() - 300 : 0);
    }
}
