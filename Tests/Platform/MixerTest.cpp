#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "Platform/ClockMapping.h"
#include "Platform/Mixer.h"

namespace {

constexpr double Rate = 44100;
constexpr int Buffer = 256;
constexpr std::int64_t T0 = 5'000'000'000;

// A one-frame click: it marks exactly the frame it is placed at.
const float impulseSamples[2] = {0.5f, 0.5f};
const Platform::Sound impulse{impulseSamples, 1};

// Drives a mixer as an output would and keeps everything rendered.
class Output {
public:
    Output() { _mixer.Start(Rate); }
    Platform::Mixer& Mixer() { return _mixer; }
    void RenderBuffers(int count)
    {
        for (int i = 0; i < count; ++i) {
            float out[Buffer * 2];
            _mixer.Render(out, Buffer);
            for (int f = 0; f < Buffer; ++f)
                _left.push_back(out[2 * f]);
        }
    }
    std::int64_t Frames() const { return static_cast<std::int64_t>(_left.size()); }
    std::vector<std::int64_t> SoundingFrames(std::int64_t from = 0) const
    {
        std::vector<std::int64_t> frames;
        for (std::int64_t f = from; f < Frames(); ++f)
            if (_left[f] != 0.0f)
                frames.push_back(f);
        return frames;
    }

private:
    Platform::Mixer _mixer;
    std::vector<float> _left;
};

TEST(Mixer, EventsLandOnTheirExactFramesWithinAndAcrossBuffers)
{
    Output output;
    output.RenderBuffers(10);
    const std::int64_t base = 20 * Buffer;  // a buffer not rendered yet
    // Inside one buffer, at its edges, and two clicks 79 frames apart across a boundary.
    const std::vector<std::int64_t> wanted = {base + 3,   base + 82,        base + 161,      base + 240,
                                              base + 255, 24 * Buffer - 40, 24 * Buffer + 39};
    for (std::int64_t frame : wanted)
        ASSERT_TRUE(output.Mixer().Play(&impulse, frame));
    output.RenderBuffers(20);
    EXPECT_EQ(output.SoundingFrames(), wanted);
    EXPECT_EQ(output.Mixer().LateEvents(), 0);
    EXPECT_EQ(output.Mixer().DroppedEvents(), 0);
}

TEST(Mixer, ALongSoundContinuesOverBuffersAndOverlappingSoundsAdd)
{
    std::vector<float> samples(2 * 1000, 0.25f);
    const Platform::Sound tone{samples.data(), 1000};
    Output output;
    output.RenderBuffers(2);
    output.Mixer().Play(&tone, 1000);
    output.Mixer().Play(&tone, 1500);
    output.RenderBuffers(20);
    const auto sounding = output.SoundingFrames();
    ASSERT_EQ(sounding.size(), 1500u);
    EXPECT_EQ(sounding.front(), 1000);
    EXPECT_EQ(sounding.back(), 2499);
}

// A sound a little late is played at once and counted; one far too late (after a stall) is
// dropped and counted, never bunched with the next; one not tied to a frame plays at once.
TEST(Mixer, LateSoundsArePlayedAtOnceOrDroppedAndCounted)
{
    Output output;
    output.RenderBuffers(40);
    const auto tolerance = static_cast<std::int64_t>(Platform::Mixer::LateToleranceSeconds * Rate);
    output.Mixer().Play(&impulse, 40 * Buffer - tolerance);  // just within
    output.RenderBuffers(1);
    output.Mixer().Play(&impulse, 41 * Buffer - tolerance - 1);  // just beyond
    output.Mixer().Play(&impulse, 3 * Buffer);                   // long rendered already
    output.RenderBuffers(1);
    output.Mixer().Play(&impulse, Platform::OutputFrame::AtOnce());
    output.RenderBuffers(1);
    EXPECT_EQ(output.SoundingFrames(), (std::vector<std::int64_t>{40 * Buffer, 42 * Buffer}));
    EXPECT_EQ(output.Mixer().LateEvents(), 1);
    EXPECT_EQ(output.Mixer().DroppedEvents(), 2);
}

// An output whose sample clock runs 100 ppm fast against the system clock, its callbacks'
// times jittering by 0.2 ms: the mapping learns the rate and keeps time to well under a frame
// after an hour, without starting over.
TEST(ClockMapping, FollowsAnOutputWhoseRateIsOffByAHundredPpm)
{
    const double trueRate = Rate * (1 + 100e-6);
    const auto timeOf = [&](std::int64_t frame) {
        return T0 + static_cast<std::int64_t>(std::llround(frame * 1e9 / trueRate));
    };
    std::mt19937 random{7};
    std::uniform_real_distribution<double> noise(-200'000, 200'000);
    Platform::ClockMapping mapping;
    mapping.Reset(Rate);
    const std::int64_t buffers = static_cast<std::int64_t>(3600 * Rate / Buffer);
    for (std::int64_t i = 0; i < buffers; ++i)
        mapping.Observe(i * Buffer, timeOf(i * Buffer) + static_cast<std::int64_t>(noise(random)));
    EXPECT_NEAR(mapping.MeasuredRate(), trueRate, trueRate * 2e-6);
    EXPECT_EQ(mapping.Restarts(), 0);
    const std::int64_t frame = buffers * Buffer + 3000;
    EXPECT_NEAR(mapping.FrameAt(timeOf(frame)), static_cast<double>(frame), 1.0);
}

TEST(ClockMapping, StartsOverAfterAJumpItCannotFollow)
{
    Platform::ClockMapping mapping;
    mapping.Reset(Rate);
    for (int i = 0; i < 100; ++i)
        mapping.Observe(i * Buffer, T0 + static_cast<std::int64_t>(i * Buffer * 1e9 / Rate));
    // The device stalled for half a second (an underrun): the next reading is taken as it is.
    const std::int64_t frame = 100 * Buffer;
    const std::int64_t late = T0 + static_cast<std::int64_t>(frame * 1e9 / Rate) + 500'000'000;
    mapping.Observe(frame, late);
    EXPECT_EQ(mapping.Restarts(), 1);
    EXPECT_NEAR(mapping.TimeAt(frame), static_cast<double>(late), 1.0);
}

}  // namespace
