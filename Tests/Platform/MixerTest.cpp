#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "Platform/Mixer.h"

namespace {

constexpr double Rate = 44100;
constexpr int Buffer = 256;
constexpr std::int64_t Latency = 20'000'000;
constexpr std::int64_t T0 = 5'000'000'000;

// A one-frame click: it marks exactly the frame it is placed at.
const float impulseSamples[2] = {0.5f, 0.5f};
const Platform::Sound impulse{impulseSamples, 1};

// Drives a mixer as an output would, with DAC times from an output whose sample clock runs at
// `trueRate` and whose timing readings jitter by up to `jitterNs`; keeps everything rendered.
class Output {
public:
    explicit Output(double trueRate = Rate, double jitterNs = 0) : _trueRate(trueRate), _jitter(jitterNs)
    {
        _mixer.Start(Rate);
        _mixer.SetLatency(Latency);
    }
    Platform::Mixer& Mixer() { return _mixer; }
    // The clock time at which output frame `frame` is really heard.
    std::int64_t HeardAt(std::int64_t frame) const
    {
        return T0 + static_cast<std::int64_t>(std::llround(frame * 1e9 / _trueRate));
    }
    void RenderBuffers(int count)
    {
        std::uniform_real_distribution<double> noise(-_jitter, _jitter);
        for (int i = 0; i < count; ++i) {
            const std::int64_t frame = static_cast<std::int64_t>(_left.size());
            float out[Buffer * 2];
            _mixer.Render(out, Buffer, HeardAt(frame) + static_cast<std::int64_t>(noise(_random)));
            for (int f = 0; f < Buffer; ++f)
                _left.push_back(out[2 * f]);
        }
    }
    std::int64_t Frames() const { return static_cast<std::int64_t>(_left.size()); }
    std::vector<std::int64_t> SoundingFrames(std::int64_t from) const
    {
        std::vector<std::int64_t> frames;
        for (std::int64_t f = from; f < Frames(); ++f)
            if (_left[f] != 0.0f)
                frames.push_back(f);
        return frames;
    }

private:
    Platform::Mixer _mixer;
    double _trueRate;
    double _jitter;
    std::mt19937 _random{7};
    std::vector<float> _left;
};

// The stamp whose sound is due at output frame `frame` (stamp + latency = the frame's time).
std::int64_t StampFor(const Output& output, std::int64_t frame)
{
    return output.HeardAt(frame) - Latency;
}

TEST(Mixer, EventsInsideOneBufferLandAtTheirExactFrames)
{
    Output output;
    output.RenderBuffers(10);
    const std::int64_t base = 20 * Buffer;  // a buffer not rendered yet
    const std::vector<std::int64_t> wanted = {base + 3, base + 82, base + 161, base + 240, base + 255};
    for (std::int64_t frame : wanted)
        ASSERT_TRUE(output.Mixer().Play(&impulse, StampFor(output, frame)));
    output.RenderBuffers(20);
    EXPECT_EQ(output.SoundingFrames(0), wanted);
    EXPECT_EQ(output.Mixer().LateEvents(), 0);
}

TEST(Mixer, ClicksSeventyNineFramesApartBothSoundAcrossABufferBoundary)
{
    Output output;
    output.RenderBuffers(4);
    const std::int64_t first = 8 * Buffer - 40;
    output.Mixer().Play(&impulse, StampFor(output, first));
    output.Mixer().Play(&impulse, StampFor(output, first + 79));
    output.RenderBuffers(8);
    EXPECT_EQ(output.SoundingFrames(0), (std::vector<std::int64_t>{first, first + 79}));
}

TEST(Mixer, ALongSoundContinuesOverBuffersAndOverlappingSoundsAdd)
{
    std::vector<float> samples(2 * 1000, 0.25f);
    const Platform::Sound tone{samples.data(), 1000};
    Output output;
    output.RenderBuffers(2);
    output.Mixer().Play(&tone, StampFor(output, 1000));
    output.Mixer().Play(&tone, StampFor(output, 1500));
    output.RenderBuffers(20);
    const auto sounding = output.SoundingFrames(0);
    ASSERT_EQ(sounding.size(), 1500u);
    EXPECT_EQ(sounding.front(), 1000);
    EXPECT_EQ(sounding.back(), 2499);
}

TEST(Mixer, AnEventThatComesTooLateIsPlayedAtOnceAndCounted)
{
    Output output;
    output.RenderBuffers(10);
    output.Mixer().Play(&impulse, StampFor(output, 3 * Buffer));  // long rendered already
    output.RenderBuffers(1);
    EXPECT_EQ(output.SoundingFrames(0), std::vector<std::int64_t>{10 * Buffer});
    EXPECT_EQ(output.Mixer().LateEvents(), 1);
}

TEST(Mixer, BufferStartPlacementIgnoresTheStamp)
{
    Output output;
    output.RenderBuffers(4);
    output.Mixer().SetPlacement(Platform::Mixer::Placement::BufferStart);
    output.Mixer().Play(&impulse, StampFor(output, 50 * Buffer + 100));
    output.RenderBuffers(1);
    EXPECT_EQ(output.SoundingFrames(0), std::vector<std::int64_t>{4 * Buffer});
}

// The latency from stamp to hearing stays the same click after click, although the output's
// timing readings jitter by 0.3 ms (13 frames) from buffer to buffer.
TEST(Mixer, LatencyStaysFixedUnderJitteryTimingReadings)
{
    Output output(Rate, 300'000);
    output.RenderBuffers(static_cast<int>(30 * Rate / Buffer));  // let the loop settle
    int worst = 0;
    for (int click = 0; click < 100; ++click) {
        const std::int64_t frame = output.Frames() + 3 * Buffer + click % 97;
        output.Mixer().Play(&impulse, StampFor(output, frame));
        const std::int64_t from = output.Frames();
        output.RenderBuffers(8);
        const auto sounding = output.SoundingFrames(from);
        ASSERT_EQ(sounding.size(), 1u);
        worst = std::max(worst, static_cast<int>(std::llabs(sounding[0] - frame)));
    }
    EXPECT_LE(worst, 1);
}

// An output whose sample clock runs 100 ppm fast against the system clock: the mapping learns the
// rate, and clicks keep landing where the real sample clock has their time, after an hour too.
TEST(Mixer, MappingFollowsAnOutputWhoseRateIsOffByAHundredPpm)
{
    const double trueRate = Rate * (1 + 100e-6);
    Output output(trueRate, 200'000);
    for (int minute = 0; minute < 60; ++minute) {
        output.RenderBuffers(static_cast<int>(60 * Rate / Buffer));
        if (minute == 0 || minute == 59) {
            for (int click = 0; click < 20; ++click) {
                const std::int64_t frame = output.Frames() + 4 * Buffer + 7 * click;
                output.Mixer().Play(&impulse, StampFor(output, frame));
                const std::int64_t from = output.Frames();
                output.RenderBuffers(8);
                const auto sounding = output.SoundingFrames(from);
                ASSERT_EQ(sounding.size(), 1u);
                EXPECT_LE(std::llabs(sounding[0] - frame), 1) << "minute " << minute;
            }
        }
    }
    EXPECT_NEAR(output.Mixer().Mapping().MeasuredRate(), trueRate, trueRate * 2e-6);
    EXPECT_EQ(output.Mixer().Mapping().Restarts(), 0);
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
