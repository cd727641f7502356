#include <gtest/gtest.h>

#include "Core/TapTempo.h"

namespace {

// The time and the modifier keys the tap tempo object sees, set by each test.
std::int64_t now = 0;
unsigned held = 0;

std::int64_t FakeClock() noexcept
{
    return now;
}

unsigned FakeHeldKeys() noexcept
{
    return held;
}

constexpr std::int64_t Ms = 1000000;

class TapTempoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        now = 1000 * Ms;
        held = 0;
    }

    // Taps at the given times (ms after the start) and returns the last result.
    std::int32_t TapAt(std::initializer_list<std::int64_t> times)
    {
        std::int32_t tempo = -1;
        std::int64_t start = now;
        for (std::int64_t t : times) {
            now = start + t * Ms;
            tempo = tap.Tap();
        }
        return tempo;
    }

    Core::TapTempo tap{&FakeClock, &FakeHeldKeys};
};

TEST_F(TapTempoTest, ThirdTapGivesTheTempoOfTheLastTwoIntervals)
{
    now = 0;
    EXPECT_EQ(tap.Tap(), 0);
    now = 500 * Ms;
    EXPECT_EQ(tap.Tap(), 0);
    now = 1000 * Ms;
    EXPECT_EQ(tap.Tap(), 120);
    // Only the span of the last three taps counts: 400 and 600 ms average 500.
    now = 1400 * Ms;
    EXPECT_EQ(tap.Tap(), 133);  // (1400 - 500) / 2 = 450 ms
}

TEST_F(TapTempoTest, CtrlDoublesAndShiftHalvesAtTheMomentOfTheTap)
{
    held = Core::TapTempo::CtrlHeld;
    EXPECT_EQ(TapAt({0, 500, 1000}), 240);
    tap.EndSeries();
    held = Core::TapTempo::ShiftHeld;
    EXPECT_EQ(TapAt({0, 500, 1000}), 60);
    tap.EndSeries();
    // Ctrl wins when both are held.
    held = Core::TapTempo::CtrlHeld | Core::TapTempo::ShiftHeld;
    EXPECT_EQ(TapAt({0, 500, 1000}), 240);
    // The keys are read at the tap that gives the tempo, not at the first one.
    tap.EndSeries();
    held = Core::TapTempo::CtrlHeld;
    now += 10000 * Ms;
    tap.Tap();
    now += 500 * Ms;
    tap.Tap();
    held = 0;
    now += 500 * Ms;
    EXPECT_EQ(tap.Tap(), 120);
}

TEST_F(TapTempoTest, TempoIsClampedToTenAndFourHundred)
{
    EXPECT_EQ(TapAt({0, 100, 200}), 400);
    tap.EndSeries();
    EXPECT_EQ(TapAt({0, 10000, 20000}), 10);
    tap.EndSeries();
    // Three taps on one clock reading: no division by zero, the fastest tempo.
    EXPECT_EQ(TapAt({0, 0, 0}), 400);
}

TEST_F(TapTempoTest, NinthTapStartsTheReadingsOver)
{
    std::int32_t results[12];
    for (int i = 0; i < 12; ++i) {
        now = 5000 * Ms + i * 500 * Ms;
        results[i] = tap.Tap();
    }
    EXPECT_EQ(results[0], 0);
    EXPECT_EQ(results[1], 0);
    for (int i = 2; i <= 8; ++i)
        EXPECT_EQ(results[i], 120) << "tap " << i + 1;
    // After the ninth, two taps without a tempo, then a tempo again.
    EXPECT_EQ(results[9], 0);
    EXPECT_EQ(results[10], 0);
    EXPECT_EQ(results[11], 120);
    EXPECT_TRUE(tap.SeriesActive());
}

TEST_F(TapTempoTest, SeriesEndsThreeSecondsAfterTheLastTap)
{
    TapAt({0, 500});
    EXPECT_TRUE(tap.SeriesActive());
    now += 2999 * Ms;
    EXPECT_FALSE(tap.OnTimeOut());
    EXPECT_TRUE(tap.SeriesActive());
    now += 1 * Ms;
    EXPECT_TRUE(tap.OnTimeOut());
    EXPECT_FALSE(tap.SeriesActive());
    // The next tap starts a new series: its first two taps give nothing.
    now += 1000 * Ms;
    EXPECT_EQ(tap.Tap(), 0);
    now += 500 * Ms;
    EXPECT_EQ(tap.Tap(), 0);
    now += 500 * Ms;
    EXPECT_EQ(tap.Tap(), 120);
}

TEST_F(TapTempoTest, TimeOutRightAfterTheNinthTapKeepsTheSeries)
{
    for (int i = 0; i < 9; ++i) {
        now = 5000 * Ms + i * 500 * Ms;
        tap.Tap();
    }
    EXPECT_EQ(tap.TapCount(), 0);
    now += 10000 * Ms;
    EXPECT_FALSE(tap.OnTimeOut());
    // Still active: the next tap is the first of new readings, not compared with stale ones.
    EXPECT_EQ(tap.Tap(), 0);
}

}  // namespace
