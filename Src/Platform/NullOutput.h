#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "Platform/IAudioDriver.h"
#include "Platform/Thread.h"

namespace Platform {

// A perfect sound card for tests and benchmarks: a thread renders one buffer every buffer period
// on a grid that does not drift, and each buffer is "heard" a fixed delay after it is rendered.
// What it renders can be copied into a capture.
class NullOutput final : public IAudioDriver {
public:
    static constexpr double Rate = 44100;
    static constexpr int BufferFrames = 256;
    // The delay from rendering a buffer to "hearing" it.
    static constexpr std::int64_t Delay = 10'000'000;

    NullOutput() = default;
    ~NullOutput() override { Stop(); }

    std::uint32_t Start(IAudioClient& client) override;
    void Stop() noexcept override;
    bool KeptOpen() const noexcept override { return false; }

    // Copies what is rendered into `capture` (interleaved stereo, its size fixed beforehand) until
    // it is full; frame 0 of the capture is frame 0 of the next start. Pass nullptr to stop. Only
    // while no stream runs.
    void SetCapture(std::vector<float>* capture) noexcept;
    std::int64_t FramesCaptured() const noexcept { return _captured.load(std::memory_order_acquire); }
    // The clock time at which frame 0 of the running stream is heard.
    std::int64_t StartTime() const noexcept { return _start.load(std::memory_order_acquire); }

private:
    void Run(IAudioClient& client);

    Thread _thread;
    bool _running = false;
    std::atomic<bool> _stop{false};
    std::vector<float>* _capture = nullptr;
    std::atomic<std::int64_t> _captured{0};
    std::atomic<std::int64_t> _start{0};
};

}  // namespace Platform
