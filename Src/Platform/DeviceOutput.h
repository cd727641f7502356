#pragma once

#include <atomic>
#include <cstdint>

#include "Platform/IAudioDriver.h"

struct PaStreamCallbackTimeInfo;

namespace Platform {

// A stream on a sound device through PortAudio (ALSA, which reaches PipeWire and PulseAudio through
// their plugins, or JACK). Its callback tells when its first frame will be heard.
class DeviceOutput final : public IAudioDriver {
public:
    static constexpr double PreferredRate = 44100;
    static constexpr int BufferFrames = 256;
    // Seconds asked of the device. Through the sound server's ALSA plugin a shorter one leaves the
    // server's stream short of its start level: it stalls for about two seconds at every start and
    // after every underflow.
    static constexpr double SuggestedLatency = 0.050;

    DeviceOutput() = default;
    ~DeviceOutput() override;

    std::uint32_t Start(IAudioClient& client) override;
    void Stop() noexcept override;
    void Lost() noexcept override { _reinitialise = true; }

private:
    std::uint32_t Open(IAudioClient& client);
    bool WaitUntilSteady(double rate);
    static int Callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* times,
                        unsigned long flags, void* self);

    bool _initialised = false;
    bool _reinitialise = false;  // start the sound system afresh before the next open
    void* _stream = nullptr;
    IAudioClient* _client = nullptr;
    // Audio thread, read by Start while it waits for a steady pace.
    std::atomic<int> _callbacks{0};
    std::atomic<std::int64_t> _frames{0};
    double _lastAhead = -1;  // audio thread only
};

}  // namespace Platform
