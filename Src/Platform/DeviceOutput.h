#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

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

    // One output the sound system offers: its host API ("ALSA", "JACK"), its name, and the latency
    // in seconds a stream on it asks for.
    struct Entry {
        std::string hostApi;
        std::string device;
        double latency = 0;
    };

    DeviceOutput() = default;
    ~DeviceOutput() override;

    // The outputs of two channels or more, as the sound system lists them (starting it if need be).
    std::vector<Entry> List();
    // The device to open from the next start on, by host API and name; an empty name: the
    // system's default.
    void Choose(std::string hostApi, std::string device);
    // Whether the last start did not find the chosen device and opened the default instead.
    bool ChoiceMissing() const noexcept { return _missing; }
    const std::string& ChosenHostApi() const noexcept { return _hostApi; }
    const std::string& ChosenDevice() const noexcept { return _device; }

    std::uint32_t Start(IAudioClient& client) override;
    void Stop() noexcept override;
    void Lost() noexcept override { _reinitialise = true; }
    // The stream's audio thread still runs (it ends by itself when the device or its server
    // fails).
    bool Alive() const noexcept override;

private:
    bool Initialise();
    int FindChosen() const;
    std::uint32_t Open(IAudioClient& client);
    bool WaitUntilSteady(double rate);
    static int Callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* times,
                        unsigned long flags, void* self);

    bool _initialised = false;
    bool _reinitialise = false;  // start the sound system afresh before the next open
    std::string _hostApi;
    std::string _device;
    bool _missing = false;
    void* _stream = nullptr;
    IAudioClient* _client = nullptr;
    // Audio thread, read by Start while it waits for a steady pace.
    std::atomic<int> _callbacks{0};
    std::atomic<std::int64_t> _frames{0};
    double _lastAhead = -1;  // audio thread only
};

}  // namespace Platform
