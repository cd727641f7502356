#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Core/OnsetDetector.h"
#include "Platform/PulseInput.h"
#include "Support/SoundCapture.h"

namespace {

constexpr double Rate = 48000;

// Hits played through the server and heard again on its monitor, captured by the input on its
// own thread and found by the onset detector on the analysis thread: every hit once, each
// distance from the first as played to within a tenth of a millisecond (the planted offsets
// against a 500 ms grid), each block stamped with the time it was captured.
TEST(ListenEndToEnd, HitsPlayedIntoTheServerAreFoundAtTheirPlantedOffsets)
{
    if (!Tests::SoundServerAvailable())
        GTEST_SKIP() << "needs a sound server (run under scripts/with-sound-server)";
    const std::vector<Platform::PulseInput::Source> sources = Platform::PulseInput::Sources();
    ASSERT_FALSE(sources.empty());
    const std::string defaultSource = Tests::FirstLineOf("pactl get-default-source 2>/dev/null");
    if (!defaultSource.empty()) {
        EXPECT_EQ(sources.front().name, defaultSource) << "the default source comes first";
    }
    const std::string monitor = Tests::FirstLineOf("pactl get-default-sink 2>/dev/null") + ".monitor";

    const double planted[] = {0, -25, -12, -3, 0, 7, 18};
    std::vector<float> take(static_cast<std::size_t>(5 * Rate), 0.0f);
    std::vector<double> playedAt;
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0, 0.2f);
    for (int k = 0; k < 7; ++k) {
        const double at = 0.6 * Rate + k * 0.5 * Rate + planted[k] * Rate / 1000;
        playedAt.push_back(std::round(at));
        for (int i = 0; i < 1200; ++i)
            take[static_cast<std::size_t>(std::round(at)) + i] += noise(random) * std::exp(-i / 200.0f);
    }
    const std::string file = testing::TempDir() + "listen-take.raw";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(take.data()), static_cast<std::streamsize>(take.size() * sizeof(float)));

    Platform::PulseInput input;
    ASSERT_TRUE(input.Start(monitor, Rate));
    std::atomic<bool> running{true};
    std::vector<std::int64_t> onsets;
    std::vector<std::int64_t> stamps;
    float loudest = 0;
    std::thread analysis([&] {
        Core::OnsetDetector detector;
        Platform::PulseInput::Block block;
        std::int64_t lastStamp = 0;
        auto sink = [](const Core::OnsetDetector::Onset& onset, void* found) {
            static_cast<std::vector<std::int64_t>*>(found)->push_back(onset.frame);
        };
        while (running.load()) {
            while (input.Pop(block)) {
                detector.Process(block.samples, static_cast<std::size_t>(block.frames), sink, &onsets);
                if (block.capturedAtNs < lastStamp)
                    stamps.push_back(block.capturedAtNs);  // stamps that run backwards
                lastStamp = block.capturedAtNs;
            }
            loudest = std::max(loudest, input.Level());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const std::string play = "pacat --raw --format=float32le --rate=48000 --channels=1 --latency-msec=20 " + file;
    const int played = std::system(play.c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    running.store(false);
    analysis.join();
    EXPECT_EQ(input.Dropped(), 0);
    input.Stop();
    std::remove(file.c_str());
    ASSERT_EQ(played, 0) << play;

    EXPECT_GT(loudest, 0.1f) << "the level meter heard the hits";
    EXPECT_TRUE(stamps.empty()) << "capture times ran backwards";
    ASSERT_EQ(onsets.size(), 7u) << "every hit once, nothing else";
    double worst = 0;
    for (std::size_t k = 1; k < onsets.size(); ++k) {
        const double distanceMs = static_cast<double>(onsets[k] - onsets[0]) * 1000 / Rate;
        const double playedMs = (playedAt[k] - playedAt[0]) * 1000 / Rate;
        EXPECT_NEAR(distanceMs, playedMs, 0.1) << "hit " << k << " planted at " << planted[k] << " ms";
        worst = std::max(worst, std::fabs(distanceMs - playedMs));
    }
    std::printf("planted offsets recovered through the server within %.3f ms\n", worst);
}

}  // namespace
