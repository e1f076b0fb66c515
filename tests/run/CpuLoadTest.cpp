#include "CpuLoad.h"
#include "RunTestUtil.h"

#include <gtest/gtest.h>

namespace {

bool Parse(const std::string& text, CCpuLoad::Sample& s) {
    return CCpuLoad::ParseStat(text.data(), text.size(), s);
}

} // namespace

TEST(CpuLoad, SummaryLineGivesBusyAndTotalTimes) {
    CCpuLoad::Sample s;
    // user nice system idle iowait irq softirq steal guest guest_nice
    ASSERT_TRUE(Parse("cpu  10 2 3 80 5 1 1 0 7 0\ncpu0 1 1 1 1 1 1 1 1 1 1\n", s));
    EXPECT_EQ(s.busy, 17u);
    EXPECT_EQ(s.total, 102u);
    // Old kernels give only four fields.
    ASSERT_TRUE(Parse("cpu 1 2 3 4\n", s));
    EXPECT_EQ(s.busy, 6u);
    EXPECT_EQ(s.total, 10u);
}

TEST(CpuLoad, DamagedStatisticsAreRefused) {
    CCpuLoad::Sample s;
    s.busy = 42;
    for (const std::string& bad :
         {std::string(), std::string("cpu 1 2 3 4"), std::string("cpu0 1 2 3 4\n"),
          std::string("cpu 1 2 3\n"), std::string("cpu 1 2 x 4\n"), std::string("cpu -1 2 3 4\n"),
          std::string("cpu 1 2 3 4x\n"), std::string("cpu 99999999999999999999 1 1 1\n"),
          std::string("cpu 18446744073709551615 1 1 1\n")}) {
        EXPECT_FALSE(Parse(bad, s)) << bad;
        EXPECT_EQ(s.busy, 42u);
    }
}

TEST(CpuLoad, PercentIsTheBusyShareBetweenReadings) {
    EXPECT_EQ(CCpuLoad::Percent({0, 0}, {33, 100}), 33);
    EXPECT_EQ(CCpuLoad::Percent({10, 100}, {35, 200}), 25);
    EXPECT_EQ(CCpuLoad::Percent({0, 0}, {2, 3}), 67);
    EXPECT_EQ(CCpuLoad::Percent({5, 100}, {5, 100}), 0); // no time passed
    EXPECT_EQ(CCpuLoad::Percent({5, 100}, {4, 90}), 0);  // counters went back
    EXPECT_EQ(CCpuLoad::Percent({0, 0}, {150, 100}), 100);
}

TEST(CpuLoad, ReadingsCompareWithThePreviousOne) {
    CTempDir dir;
    const std::string path = dir.Path() + "/stat";
    auto write = [&](const char* text) { std::ofstream(path, std::ios::trunc) << text; };
    CCpuLoad load(path);
    write("cpu 0 0 0 100 0 0 0 0\n");
    ASSERT_TRUE(load.Start());
    write("cpu 40 0 0 160 0 0 0 0\n"); // 40 of 100 busy
    EXPECT_EQ(load.Read(), 40);
    write("cpu 50 0 0 250 0 0 0 0\n"); // 10 of 100 busy since the last reading
    EXPECT_EQ(load.Read(), 10);
    ::unlink(path.c_str());
    EXPECT_EQ(load.Read(), 0); // unreadable counts as quiet
    EXPECT_FALSE(CCpuLoad(dir.Path() + "/none").Start());
}

TEST(CpuLoad, RealStatisticsGiveAPercentage) {
    CCpuLoad load;
    ASSERT_TRUE(load.Start());
    int p = load.Read();
    EXPECT_GE(p, 0);
    EXPECT_LE(p, 100);
}
