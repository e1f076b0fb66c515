// The server frame in process: its work runs between waits, a change signal
// or the work's own timeout wakes it, and a stop request ends it.

#include "Server.h"
#include "Install.h"

#include "TempStateRoot.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

class CCountingWork : public IServerWork {
public:
    explicit CCountingWork(int nWaitMs) : m_nWaitMs(nWaitMs) {}
    int RunPass(CServer&) override {
        ++passes;
        return m_nWaitMs;
    }
    void Stop() override { stopped = true; }

    std::atomic<int> passes{0};
    std::atomic<bool> stopped{false};

private:
    int m_nWaitMs;
};

bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

} // namespace

TEST(Server, WorkRunsAfterEachSignalUntilStopped) {
    CTempStateRoot root;
    CServer server;
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    CServer second;
    EXPECT_FALSE(second.Start(error));
    EXPECT_TRUE(second.IsAnotherRunning());

    // A clock that stands still: no minute boundary wakes the server here.
    server.SetWallClock([] { return 1000LL; });
    CCountingWork work(-1); // wait for signals only
    int result = -1;
    std::thread thread([&] { result = server.Run(&work); });
    ASSERT_TRUE(WaitFor([&] { return work.passes == 1; }));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(work.passes, 1);

    CNamedEvent change(kServerEventName);
    change.Set();
    EXPECT_TRUE(WaitFor([&] { return work.passes == 2; }));

    server.RequestStop();
    thread.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(work.stopped);
}

TEST(Server, WorkDecidesHowLongToSleep) {
    CTempStateRoot root;
    CServer server;
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    CCountingWork work(5);
    std::thread thread([&] { server.Run(&work); });
    EXPECT_TRUE(WaitFor([&] { return work.passes >= 5; }));
    server.RequestStop();
    thread.join();

    // The server tells the windows to refresh through "TemporaClient".
    CNamedBroadcast client(kClientEventName);
    EXPECT_FALSE(client.Wait(0));
    server.SignalClients();
    EXPECT_TRUE(client.Wait(0));
}

// The windows' countdowns count minutes: the server signals them as each
// minute begins, even when its work has nothing to wait for.
TEST(Server, SignalsTheWindowsAtEveryMinuteBoundary) {
    CTempStateRoot root;
    CServer server;
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    const auto start = std::chrono::steady_clock::now();
    const long long beforeBoundary = 7 * 60 * 1000LL - 80; // 80 ms before a minute ends
    server.SetWallClock([start, beforeBoundary] {
        return beforeBoundary + std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count();
    });
    CNamedBroadcast window(kClientEventName);
    CNamedBroadcast secondWindow(kClientEventName);
    CCountingWork work(-1);
    std::thread thread([&] { server.Run(&work); });
    EXPECT_TRUE(window.Wait(5000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 80ms);
    EXPECT_TRUE(secondWindow.Wait(0)); // every window, not one of them
    EXPECT_TRUE(WaitFor([&] { return work.passes >= 2; }));
    EXPECT_FALSE(window.Wait(100)); // the next boundary is a minute away
    server.RequestStop();
    thread.join();
}

TEST(Server, InstallPathsForBuildTreeAndInstalledLayout) {
    const CInstallPaths build = InstallPathsFor(std::string(VEX_BINARY_DIR) + "/server");
    EXPECT_EQ(build.strScanner, std::string(VEX_BINARY_DIR) + "/scanner/vexscan");
    EXPECT_EQ(build.strHelpFile, std::string(VEX_SOURCE_DIR) + "/packaging/help/index.html");

    CTempStateRoot temp;
    const std::string bin = temp.Path() + "/prefix/bin";
    std::filesystem::create_directories(bin);
    std::ofstream(bin + "/vexscan") << "#!/bin/sh\n";
    const CInstallPaths installed = InstallPathsFor(bin);
    EXPECT_EQ(installed.strScanner, bin + "/vexscan");
    EXPECT_EQ(installed.strHelpFile, temp.Path() + "/prefix/share/vex-tempora/help/index.html");
}
