// The windows' refresh signal: every waiter of the name sees every signal,
// signals collapse per waiter, and other processes reach it.

#include "NamedBroadcast.h"

#include "TempStateRoot.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

} // namespace

TEST(NamedBroadcast, EveryWaiterSeesEverySignalOnce) {
    CTempStateRoot root;
    CNamedBroadcast sender("TestEvent");
    CNamedBroadcast first("TestEvent");
    CNamedBroadcast second("TestEvent");
    ASSERT_TRUE(sender.IsValid());
    ASSERT_TRUE(first.IsValid());
    EXPECT_FALSE(first.Wait(0)); // nothing since it opened

    // Six signals: each waiter wakes once, neither takes the other's share.
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(sender.Set());
    EXPECT_TRUE(first.Wait(0));
    EXPECT_FALSE(first.Wait(0));
    EXPECT_TRUE(second.Wait(0));
    EXPECT_FALSE(second.Wait(0));

    // A late opener does not see the signals from before it opened.
    CNamedBroadcast late("TestEvent");
    EXPECT_FALSE(late.Wait(0));

    // A timed wait runs its time; another root's signal does not reach it.
    const auto start = Clock::now();
    EXPECT_FALSE(first.Wait(80));
    EXPECT_GE(Clock::now() - start, 75ms);
    CNamedBroadcast::Remove("TestEvent");
}

TEST(NamedBroadcast, BlockedWaitersOfSeveralThreadsAndProcessesAllWake) {
    CTempStateRoot root;
    CNamedBroadcast a("TestEvent");
    CNamedBroadcast b("TestEvent");
    std::atomic<int> woken{0};
    std::thread ta([&] { woken += a.Wait(5000) ? 1 : 0; });
    std::thread tb([&] { woken += b.Wait(-1) ? 1 : 0; });
    std::this_thread::sleep_for(50ms); // both block in the wait

    // The signal comes from another process of the same root.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CNamedBroadcast sender("TestEvent");
        _exit(sender.Set() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ta.join();
    tb.join();
    EXPECT_EQ(woken.load(), 2);

    // Another root has a counter of its own.
    CTempStateRoot other;
    CNamedBroadcast elsewhere("TestEvent");
    EXPECT_TRUE(elsewhere.Set());
    CNamedBroadcast::Remove("TestEvent");
    EXPECT_FALSE(a.Wait(0));
}

TEST(NamedBroadcast, CounterOpenToOthersIsRefused) {
    CTempStateRoot root;
    const std::string name = CNamedBroadcast::SharedName("TestEvent");
    const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fchmod(fd, 0666), 0);
    close(fd);
    CNamedBroadcast event("TestEvent");
    EXPECT_FALSE(event.IsValid());
    EXPECT_FALSE(event.Set());
    EXPECT_FALSE(event.Wait(0));
    CNamedBroadcast::Remove("TestEvent");
}
