#include "Platform/NullOutput.h"

#include <algorithm>
#include <cmath>

#include "Platform/Clock.h"
#include "Platform/Mixer.h"
#include "Platform/MultimediaResult.h"

namespace Platform {

void NullOutput::SetCapture(std::vector<float>* capture) noexcept
{
    _capture = capture;
    _captured.store(0, std::memory_order_release);
}

std::uint32_t NullOutput::Start(IAudioClient& client)
{
    client.Prepare(Rate);
    _captured.store(0, std::memory_order_release);
    _stop.store(false, std::memory_order_release);
    _start.store(Clock::Now() + Delay, std::memory_order_release);
    if (!_thread.Start([this, &client] { Run(client); }))
        return MmNoMemory;
    _running = true;
    return MmNoError;
}

void NullOutput::Stop() noexcept
{
    if (!_running)
        return;
    _stop.store(true, std::memory_order_release);
    _thread.Join();
    _running = false;
}

void NullOutput::Run(IAudioClient& client)
{
    const std::int64_t heardStart = _start.load(std::memory_order_acquire);
    std::vector<float> buffer(BufferFrames * Mixer::Channels);
    for (std::int64_t n = 0; !_stop.load(std::memory_order_acquire); ++n) {
        const auto offset = static_cast<std::int64_t>(std::llround(n * BufferFrames * 1e9 / Rate));
        BufferTiming timing;
        timing.callbackTime = heardStart + offset - Delay;
        timing.aheadNs = static_cast<double>(Delay);
        Clock::SleepUntil(timing.callbackTime);
        client.OnBuffer(buffer.data(), BufferFrames, timing);
        if (_capture) {
            const std::int64_t done = _captured.load(std::memory_order_relaxed);
            const auto capacity = static_cast<std::int64_t>(_capture->size() / Mixer::Channels);
            const std::int64_t count = std::min<std::int64_t>(BufferFrames, capacity - done);
            if (count > 0) {
                std::copy_n(buffer.begin(), count * Mixer::Channels, _capture->begin() + done * Mixer::Channels);
                _captured.store(done + count, std::memory_order_release);
            }
        }
    }
}

}  // namespace Platform
