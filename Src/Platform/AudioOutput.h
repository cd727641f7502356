#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "Platform/Mixer.h"
#include "Platform/Thread.h"

struct PaStreamCallbackTimeInfo;

namespace Platform {

// The program's one audio output: a stream on the default sound device (or, for tests and
// benchmarks, a null output paced by the clock) that plays whatever the mixer renders. It is
// started by the first Acquire and stopped by the last Release, so it runs while any MIDI or wave
// device is open.
class AudioOutput {
public:
    static constexpr double PreferredRate = 44100;
    static constexpr int BufferFrames = 256;
    static constexpr double SuggestedLatency = 0.020;  // seconds asked of the device
    // The null output's delay from rendering a buffer to "hearing" it.
    static constexpr std::int64_t NullDeviceDelay = 10'000'000;

    AudioOutput();
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    static AudioOutput& Instance();

    // Starts the output if it is not running; a multimedia result code. Every successful Acquire
    // is matched by one Release.
    std::uint32_t Acquire();
    void Release();
    bool Running() const noexcept { return _running.load(std::memory_order_acquire); }

    Mixer& GetMixer() noexcept { return _mixer; }
    double SampleRate() const noexcept { return _sampleRate.load(std::memory_order_acquire); }
    // From an event's stamp to the moment it is heard, in clock nanoseconds: the beat indicator
    // and the step sequencer's cursor show a tick this long after its due time.
    std::int64_t Latency() const noexcept { return _mixer.Latency(); }
    // Buffers the device reported it could not play in time (for benchmarks).
    std::int64_t Underflows() const noexcept { return _underflows.load(std::memory_order_relaxed); }

    // Use the null output instead of the sound device from the next start on.
    void UseNullOutput(bool useNull);
    // The null output copies what it renders into `capture` (interleaved stereo, its size fixed
    // beforehand) until it is full; FramesCaptured tells how far it got. Pass nullptr to stop.
    // The capture's frame 0 is output frame 0 of the next start.
    void SetNullCapture(std::vector<float>* capture);
    std::int64_t FramesCaptured() const noexcept { return _captured.load(std::memory_order_acquire); }
    // The clock time at which output frame 0 of the running null output is heard.
    std::int64_t NullStartTime() const noexcept { return _nullStart.load(std::memory_order_acquire); }

private:
    std::uint32_t StartDevice();
    void StopDevice();
    std::uint32_t StartNull();
    void StopNull();
    void RunNull();
    static int Callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* times,
                        unsigned long flags, void* self);

    std::mutex _lock;  // Acquire/Release (not the audio thread)
    int _users = 0;
    bool _useNull = false;
    bool _paInitialised = false;
    void* _stream = nullptr;
    Mixer _mixer;
    std::atomic<double> _sampleRate{PreferredRate};
    std::atomic<bool> _running{false};
    std::atomic<double> _lastAhead{-1};
    std::atomic<std::int64_t> _underflows{0};
    std::atomic<std::int64_t> _fixedAhead{0};

    Thread _nullThread;
    bool _nullActive = false;  // the running output is the null one
    std::atomic<bool> _nullStop{false};
    std::vector<float>* _capture = nullptr;
    std::atomic<std::int64_t> _captured{0};
    std::atomic<std::int64_t> _nullStart{0};
};

}  // namespace Platform
