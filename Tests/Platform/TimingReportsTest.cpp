#include <gtest/gtest.h>

#include <cstdint>

#include "Platform/TimingReports.h"

namespace {

constexpr std::int64_t Second = 1'000'000'000;

// The reports of a null sink: steady to a few microseconds, a sink clock 280 ppm fast after a
// stall, and now and then one report a block or more off. The heard times follow the sink and
// never an odd report; a first report waits for a second.
TEST(TimingReports, FollowTheSinkThroughAStepAndADriftButNotAnOddReport)
{
    Platform::TimingReports reports;
    reports.Take(1e6, 1 * Second);
    EXPECT_FALSE(reports.Known());
    reports.Take(1.01e6, 2 * Second);
    ASSERT_TRUE(reports.Known());
    EXPECT_DOUBLE_EQ(reports.ZeroHeard(), 1.01e6);

    reports.Take(4e6, 3 * Second);  // a block off: left out
    EXPECT_DOUBLE_EQ(reports.ZeroHeard(), 1.01e6);
    reports.Take(1.02e6, 4 * Second);
    EXPECT_DOUBLE_EQ(reports.ZeroHeard(), 1.02e6);

    reports.Take(3e6, 5 * Second);  // the sink stalled: a step, once a second report agrees
    EXPECT_DOUBLE_EQ(reports.ZeroHeard(), 1.02e6);
    reports.Take(3.01e6, 6 * Second);
    EXPECT_DOUBLE_EQ(reports.ZeroHeard(), 3.01e6);

    // Faster by 280 ppm from here, a report every 1.5 s: each lies 0.42 ms before the last.
    double zero = 3.01e6;
    for (std::int64_t at = 6 * Second; at < 30 * Second;) {
        at += 3 * Second / 2;
        zero -= 280e-6 * 1.5e9;
        reports.Take(zero, at);
        ASSERT_DOUBLE_EQ(reports.ZeroHeard(), zero);
    }

    reports.Forget();
    EXPECT_FALSE(reports.Known());
}

}  // namespace
