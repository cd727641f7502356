#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

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

// PipeWire's pulse server: reports every 25 ms, each late by where in its 5.33 ms quantum it was
// made (five levels, another one a millisecond lower once in a hundred), with a tenth of a
// millisecond of scatter. The heard times hold one level to a fraction of a millisecond, where
// the newest report alone moved by the whole quantum; a later step (another quantum) is followed
// within the window.
TEST(QuantumReports, HoldTheLowLevelOfReportsAQuantumApartAndFollowAStep)
{
    constexpr double Quantum = 5.333e6;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> level(0, 99);
    std::uniform_real_distribution<double> scatter(0, 0.1e6);
    Platform::QuantumReports reports;
    double truth = 2e6;
    double lowest = 1e18, highest = -1e18;
    for (std::int64_t at = Second; at < 60 * Second; at += Second / 40) {
        if (at == 40 * Second)
            truth += Quantum;
        const int drawn = level(random);
        const double late = drawn == 0 ? 0 : (1 + drawn % 5) * Quantum / 5;
        reports.Take(truth + late + scatter(random), at);
        ASSERT_TRUE(reports.Known());
        if ((at > 4 * Second && at < 40 * Second) || at > 43 * Second) {
            const double off = reports.ZeroHeard() - truth;
            lowest = std::min(lowest, off);
            highest = std::max(highest, off);
        }
    }
    EXPECT_GT(lowest, Quantum / 5 - 0.05e6);
    EXPECT_LT(highest, Quantum / 5 + 0.15e6);
    reports.Forget();
    EXPECT_FALSE(reports.Known());
}

}  // namespace
