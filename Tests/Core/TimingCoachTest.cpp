#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Configuration/ExtraSettings.h"
#include "Core/TimingCoach.h"

namespace {

using Core::TimingCoach;
constexpr std::int64_t Ms = 1'000'000;

// A take of `bars` bars of 4/4 at 120 bpm beginning at 1 s; bars silent where `silent` says.
std::vector<TimingCoach::Beat> Grid(int bars, bool (*silent)(int) = nullptr)
{
    std::vector<TimingCoach::Beat> beats;
    for (int bar = 0; bar < bars; ++bar)
        for (int beat = 0; beat < 4; ++beat)
            beats.push_back({1000 * Ms + (bar * 4 + beat) * 500 * Ms, beat, bar, silent && silent(bar)});
    return beats;
}

TEST(TimingCoach, RecoversEachPositionsLeanTheMeanAndTheSpread)
{
    const double lean[4] = {-3, 0, 12, 7};
    const auto beats = Grid(8);
    std::vector<std::int64_t> hits;
    for (const auto& beat : beats)
        hits.push_back(beat.heardNs + std::llround(lean[beat.beatInBar] * Ms));
    const auto result = TimingCoach::Score(beats, hits, {});
    EXPECT_EQ(result.misses, 0);
    EXPECT_EQ(result.extras, 0);
    ASSERT_EQ(result.leanMs.size(), 4u);
    for (int p = 0; p < 4; ++p)
        EXPECT_NEAR(result.leanMs[p], lean[p], 1e-6) << p;
    EXPECT_NEAR(result.all.meanMs, 4.0, 1e-6);
    EXPECT_NEAR(result.all.deviationMs, std::sqrt((49 + 16 + 64 + 9) * 8 / 31.0), 1e-6);
    EXPECT_NEAR(result.all.driftMsPer30s, 0, 0.05);
}

TEST(TimingCoach, DriftIsTheSlopeOverTheTake)
{
    const auto beats = Grid(16);  // 32 s
    std::vector<std::int64_t> hits;
    for (const auto& beat : beats) {
        const double seconds = static_cast<double>(beat.heardNs - beats[0].heardNs) / 1e9;
        hits.push_back(beat.heardNs + std::llround((-5 + seconds * 10 / 30) * Ms));
    }
    const auto result = TimingCoach::Score(beats, hits, {});
    EXPECT_NEAR(result.all.driftMsPer30s, 10, 1e-3);
}

TEST(TimingCoach, CountsMissesAndExtrasAndScoresSubdivisions)
{
    const auto beats = Grid(2);
    std::vector<std::int64_t> hits;
    for (std::size_t b = 0; b < beats.size(); ++b) {
        if (b == 3)
            continue;                                          // a beat missed
        hits.push_back(beats[b].heardNs + 250 * Ms - 4 * Ms);  // the "and", 4 ms early
        if (b != 5)
            hits.push_back(beats[b].heardNs + 2 * Ms);
    }
    hits.push_back(beats[0].heardNs + 10 * Ms);   // a second hit on a taken position
    hits.push_back(beats[1].heardNs + 120 * Ms);  // outside every window
    TimingCoach::Options eighths;
    eighths.subdivisions = 2;
    const auto result = TimingCoach::Score(beats, hits, eighths);
    EXPECT_EQ(result.misses, 3);  // beat 3 and its "and", and beat 5
    EXPECT_EQ(result.extras, 2);
    ASSERT_EQ(result.leanMs.size(), 8u);
    EXPECT_NEAR(result.leanMs[0], 2, 1e-6);
    EXPECT_NEAR(result.leanMs[1], -4, 1e-6);
}

TEST(TimingCoach, SilentBarsAreScoredAgainstTheSilentGrid)
{
    const auto beats = Grid(8, [](int bar) { return bar % 4 >= 2; });
    std::vector<std::int64_t> hits;
    for (const auto& beat : beats)
        hits.push_back(beat.heardNs + (beat.silent ? 15 : -2) * Ms);  // rushes back, drags alone
    const auto result = TimingCoach::Score(beats, hits, {});
    EXPECT_EQ(result.silent.count, 16);
    EXPECT_NEAR(result.silent.meanMs, 15, 1e-6);
    EXPECT_NEAR(result.played.meanMs, -2, 1e-6);
    EXPECT_EQ(result.misses, 0);
}

TEST(CoachCalibration, MeasuresTheRoundTripAndRefusesDisagreeingClicks)
{
    const std::vector<std::int64_t> clicks = {0, 500 * Ms, 1000 * Ms, 1500 * Ms};
    std::int64_t roundTrip = 0;
    EXPECT_TRUE(
        Core::CoachCalibration::Measure(clicks, {-40 * Ms, 31 * Ms, 531'200'000, 1'031'100'000, 1531 * Ms}, roundTrip));
    EXPECT_EQ(roundTrip, 31'100'000);
    EXPECT_FALSE(Core::CoachCalibration::Measure(clicks, {31 * Ms, 533 * Ms, 1031 * Ms}, roundTrip));
    EXPECT_FALSE(Core::CoachCalibration::Measure(clicks, {31 * Ms, 531 * Ms}, roundTrip));
}

TEST(CoachCalibration, KeptPerInputAndOutputInTheExtras)
{
    Configuration::ExtraSettings extras("/nonexistent/Ticova.extras");
    Core::CoachCalibration::Store(extras, "alsa_input.usb-Mic #2", "Built-in Audio", 23'456'000);
    std::int64_t roundTrip = 0;
    EXPECT_TRUE(Core::CoachCalibration::Load(extras, "alsa_input.usb-Mic #2", "Built-in Audio", roundTrip));
    EXPECT_EQ(roundTrip, 23'456'000);
    EXPECT_FALSE(Core::CoachCalibration::Load(extras, "alsa_input.usb-Mic #2", "HDMI", roundTrip));
    EXPECT_EQ(Core::CoachCalibration::ManualOffsetNs(extras), 0);
    extras.SetNumber(Core::CoachCalibration::ManualOffsetKey, -12'000);
    EXPECT_EQ(Core::CoachCalibration::ManualOffsetNs(extras), -12 * Ms);
}

}  // namespace
