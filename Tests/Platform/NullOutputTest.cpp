#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "Platform/MultimediaResult.h"
#include "Platform/NullOutput.h"

namespace {

using Platform::NullOutput;

// Writes each buffer's number into its samples and keeps the times it was asked at.
class CountingClient final : public Platform::IAudioClient {
public:
    void Prepare(double rate) noexcept override { preparedRate = rate; }
    void Discard(float*, int) noexcept override {}
    void OnBuffer(float* output, int frames, const Platform::BufferTiming& timing) noexcept override
    {
        const int n = buffers.load(std::memory_order_relaxed);
        for (int i = 0; i < 2 * frames; ++i)
            output[i] = static_cast<float>(n);
        if (n < static_cast<int>(times.size()))
            times[static_cast<std::size_t>(n)] = timing.callbackTime;
        ahead = timing.aheadNs;
        buffers.store(n + 1, std::memory_order_release);
    }
    double preparedRate = 0;
    double ahead = 0;
    std::vector<std::int64_t> times = std::vector<std::int64_t>(40);
    std::atomic<int> buffers{0};
};

// On its own: buffers asked for on a grid that does not drift, each heard the fixed delay later,
// and what they hold copied into the capture until it is full.
TEST(NullOutput, RendersOnItsGridAndCapturesUntilFull)
{
    NullOutput null;
    CountingClient client;
    std::vector<float> capture(2 * (NullOutput::BufferFrames * 3 + 10));
    null.SetCapture(&capture);
    ASSERT_EQ(null.Start(client), Platform::MmNoError);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (client.buffers.load(std::memory_order_acquire) < 40 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    null.Stop();
    ASSERT_GE(client.buffers.load(), 40);

    EXPECT_EQ(client.preparedRate, NullOutput::Rate);
    EXPECT_EQ(client.ahead, static_cast<double>(NullOutput::Delay));
    for (std::size_t n = 0; n < client.times.size(); ++n) {
        const double offset = static_cast<double>(n) * NullOutput::BufferFrames * 1e9 / NullOutput::Rate;
        EXPECT_NEAR(static_cast<double>(client.times[n] - (null.StartTime() - NullOutput::Delay)), offset, 1.0) << n;
    }
    EXPECT_EQ(null.FramesCaptured(), static_cast<std::int64_t>(capture.size() / 2));
    EXPECT_EQ(capture[0], 0.0f);
    EXPECT_EQ(capture[2 * NullOutput::BufferFrames], 1.0f);
    EXPECT_EQ(capture.back(), 3.0f);
}

}  // namespace
