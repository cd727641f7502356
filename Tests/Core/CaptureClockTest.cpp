#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "Core/CaptureClock.h"

namespace {

// A device at +300 ppm whose blocks reach the program 1-3 ms late, now and then 20 ms late (its
// first half second in one burst); from 30 s on 2 ms later (a playback stream started and the
// server's blocks changed), for 0.7 s at 50 s 1.5 ms later still (the machine's load), and from
// 70 s on 80 ms later (the source was given another latency). Once settled, each frame's time
// lies a constant from its true capture time, the same after each step as before: a frame's
// distance from another is kept to a fraction of a millisecond. At the nominal rate the
// distances would be off by 18 ms a minute.
TEST(CaptureClock, TimesFramesOfAnInputThatRunsOffItsNominalRate)
{
    constexpr double Nominal = 48000;
    constexpr double TrueRate = Nominal * (1 + 300e-6);
    constexpr std::int64_t StartNs = 5'000'000'000'000;
    Core::CaptureClock clock(Nominal);
    std::mt19937 random(7);
    std::exponential_distribution<double> wait(1.0 / 0.5e6);
    std::uniform_real_distribution<double> chance(0, 1);
    const auto capturedAt = [&](double frame) { return static_cast<double>(StartNs) + frame * 1e9 / TrueRate; };

    double offsetNs = 0;  // the clock's constant lag behind the true times, as first seen
    double worst = 0;
    bool settledBy10s = false;
    for (std::int64_t frames = 240; frames < static_cast<std::int64_t>(150 * TrueRate); frames += 240) {
        const double seconds = static_cast<double>(frames) / TrueRate;
        double late = 1e6 + wait(random) + (chance(random) < 0.02 ? 20e6 : 0);
        if (seconds < 0.5)
            late = (0.5 - seconds) * 1e9 + 1e6;
        if (seconds >= 30)
            late += 2e6;
        if (seconds >= 50 && seconds < 50.7)
            late += 1.5e6;
        if (seconds >= 70)
            late += 80e6;
        clock.Arrived(frames, std::llround(capturedAt(static_cast<double>(frames)) + late));
        if (seconds < 10)
            continue;
        settledBy10s = settledBy10s || clock.Settled();
        const double probe = static_cast<double>(frames) - 4800;  // a hit found 0.1 s back
        const double lag = static_cast<double>(clock.TimeOf(probe)) - capturedAt(probe);
        if (offsetNs == 0)
            offsetNs = lag;
        worst = std::max(worst, std::fabs(lag - offsetNs));
    }
    EXPECT_TRUE(settledBy10s);
    EXPECT_NEAR(offsetNs, 1e6, 0.5e6) << "the least delay";
    EXPECT_LT(worst, 0.25e6) << "ns";
    EXPECT_NEAR(clock.Rate(), TrueRate, TrueRate * 5e-6);
}

}  // namespace
