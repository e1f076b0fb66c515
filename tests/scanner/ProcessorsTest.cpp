// The scan's worker count follows the processors the process may use, not
// the processors the machine has.
#include "Processors.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <thread>

TEST(ProcessorsTest, CountsTheAffinityMaskAndTheCgroupQuota) {
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "one processor: a narrower mask cannot be told apart";
    unsigned n = 0;
    // The mask belongs to a thread: narrowed in one of its own, to the first
    // processor the test may use.
    std::thread([&n] {
        cpu_set_t mask;
        ASSERT_EQ(::sched_getaffinity(0, sizeof mask, &mask), 0);
        int first = 0;
        while (!CPU_ISSET(first, &mask))
            ++first;
        CPU_ZERO(&mask);
        CPU_SET(first, &mask);
        ASSERT_EQ(::sched_setaffinity(0, sizeof mask, &mask), 0);
        n = UsableProcessors();
    }).join();
    EXPECT_EQ(n, 1u);
    EXPECT_GE(UsableProcessors(), 1u);

    EXPECT_EQ(ProcessorsOfQuota("150000 100000\n"), 2u);
    EXPECT_EQ(ProcessorsOfQuota("50000 100000\n"), 1u);
    EXPECT_EQ(ProcessorsOfQuota("max 100000\n"), 0u);
    EXPECT_EQ(ProcessorsOfQuota("100000"), 0u);
    EXPECT_EQ(ProcessorsOfQuota(""), 0u);
}
