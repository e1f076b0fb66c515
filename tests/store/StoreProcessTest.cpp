// The store shared by several processes at once, and a writer killed in the
// middle of its work.

#include "RegInterface.h"
#include "TestJobs.h"

#include "TempStateRoot.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

pid_t Spawn(std::vector<std::string> args) {
    args.insert(args.begin(), STORE_HELPER);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, STORE_HELPER, nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

// Exit code of the child, or -1 when it did not end within nMs (it is then
// killed) or did not exit normally.
int Finish(pid_t pid, int nMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(nMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void CreateJobKey() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

} // namespace

TEST(StoreProcesses, TwoWritersAndAnEnumeratorLeaveEveryAcknowledgedJobIntact) {
    CTempStateRoot root;
    CreateJobKey();
    const std::string outA = root.Path() + "/a.txt", outB = root.Path() + "/b.txt";
    const pid_t writerA = Spawn({"writer", "a", "2500", outA});
    const pid_t writerB = Spawn({"writer", "b", "2500", outB});
    const pid_t reader = Spawn({"enumerate", "2500"});
    ASSERT_GT(writerA, 0);
    ASSERT_GT(writerB, 0);
    ASSERT_GT(reader, 0);
    EXPECT_EQ(Finish(writerA, 30000), 0);
    EXPECT_EQ(Finish(writerB, 30000), 0);
    EXPECT_EQ(Finish(reader, 30000), 0);

    EXPECT_EQ(IntegrityCheck(), "ok");
    // Expected jobs of both writers, exactly as named, with their last data.
    std::map<std::string, std::string> expected;
    for (const std::string& path : {outA, outB})
        for (const std::string& line : Lines(path))
            expected[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
    std::map<std::string, std::string> stored;
    for (const StoredValue& value : ReadAllValues()) {
        EXPECT_TRUE(value.bLoads) << value.name;
        EXPECT_EQ(value.jobName, value.name);
        stored[value.name] = value.dir;
    }
    EXPECT_EQ(stored, expected);
}

TEST(StoreProcesses, WriterKilledMidWriteLosesNoAcknowledgedJob) {
    CTempStateRoot root;
    CreateJobKey();
    const std::string acks = root.Path() + "/acks.txt";
    const pid_t writer = Spawn({"ack-writer", "k", acks});
    ASSERT_GT(writer, 0);
    // Let it get well into its loop, then kill it wherever it is.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Lines(acks).size() < 120 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    kill(writer, SIGKILL);
    int status = 0;
    waitpid(writer, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::vector<std::string> lines = Lines(acks);
    ASSERT_GE(lines.size(), 120u);
    // Acknowledged writes are in; the one in flight may or may not be.
    long lastAcked = -1;
    std::map<long, long> lastPerSlot;
    for (const std::string& line : lines) {
        const long i = std::stol(line);
        ASSERT_EQ(i, lastAcked + 1);
        lastAcked = i;
        lastPerSlot[i % 50] = i;
    }
    const long inFlight = lastAcked + 1;

    EXPECT_EQ(IntegrityCheck(), "ok");
    CRegInterface store;
    ASSERT_TRUE(store.Open(kJobKeyPath));
    for (const auto& [slot, acked] : lastPerSlot) {
        const std::string name = "k-" + std::to_string(slot);
        CJob job;
        ASSERT_TRUE(store.ReadJob(name.c_str(), &job)) << name;
        const long stored = std::stol(std::string(job.GetDirectory()).substr(3));
        EXPECT_TRUE(stored == acked || stored == inFlight) << name << ": " << stored;
    }
    EXPECT_EQ(ReadAllValues().size(), 50u);
}
