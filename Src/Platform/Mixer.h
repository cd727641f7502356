#pragma once

#include <atomic>
#include <cstdint>

#include "Platform/ClockMapping.h"
#include "Platform/IMixerStream.h"
#include "Platform/LockFreeQueue.h"

namespace Platform {

// A sound ready to be played: interleaved stereo samples at the output's rate. The samples are
// owned elsewhere and must outlive every voice playing them.
struct Sound {
    const float* samples = nullptr;
    std::int64_t frames = 0;
};

// The mixer of the one audio output. Events (a sound to start, a command for a wave stream) are
// stamped with the clock time they belong to and handed over through a lock-free queue; the
// audio callback places each at its stamp plus one fixed latency, to the frame, using the clock
// to frame mapping that the output's timing readings give. Render takes no lock, allocates
// nothing and makes no system call.
class Mixer {
public:
    static constexpr int Channels = 2;
    static constexpr int MaxVoices = 128;
    static constexpr int MaxStreams = 256;

    // Where events are placed: at their stamp (the normal case), or, to measure what stamping
    // gains, at the start of the buffer being rendered when they are taken from the queue.
    enum class Placement { Stamped, BufferStart };

    Mixer() noexcept;
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // Prepares for an output of this rate, forgetting voices and timing. Only while no Render runs.
    void Start(double sampleRate) noexcept;
    // The fixed time from a stamp to the moment its sound is heard, in ns.
    void SetLatency(std::int64_t latencyNs) noexcept { _latency.store(latencyNs, std::memory_order_release); }
    std::int64_t Latency() const noexcept { return _latency.load(std::memory_order_acquire); }
    void SetPlacement(Placement placement) noexcept { _placement.store(placement, std::memory_order_release); }
    double SampleRate() const noexcept { return _sampleRate; }

    // Any thread: start `sound` at `stamp` + latency, scaled by `gain`. False when the queue is full.
    bool Play(const Sound* sound, std::int64_t stamp, float gain = 1.0f) noexcept;
    // Any thread: attach a stream (it is mixed from the next buffer on) or detach it (OnDetached
    // follows on the audio thread).
    bool Attach(IMixerStream* stream) noexcept;
    bool Detach(IMixerStream* stream) noexcept;
    // Any thread: deliver `command` to an attached stream on the audio thread, with the frame
    // that `stamp` + latency maps to.
    bool PostStream(IMixerStream* stream, int command, void* argument, std::int64_t stamp) noexcept;

    // The audio callback: fills `frames` interleaved stereo frames. `dacTime` is the clock time
    // at which the first of them will be heard.
    void Render(float* output, int frames, std::int64_t dacTime) noexcept;

    // Counters for tests and benchmarks (read from any thread).
    std::int64_t FramesRendered() const noexcept { return _framesRendered.load(std::memory_order_acquire); }
    std::int64_t LateEvents() const noexcept { return _lateEvents.load(std::memory_order_relaxed); }
    std::int64_t DroppedEvents() const noexcept { return _droppedEvents.load(std::memory_order_relaxed); }
    std::int64_t StolenVoices() const noexcept { return _stolenVoices.load(std::memory_order_relaxed); }
    // The output's rate as measured against the clock (audio thread, or after rendering stopped).
    const ClockMapping& Mapping() const noexcept { return _mapping; }

private:
    enum class EventKind : std::uint8_t { Sound, Attach, Detach, Command };
    struct Event {
        EventKind kind;
        int command;
        float gain;
        const Sound* sound;
        IMixerStream* stream;
        void* argument;
        std::int64_t stamp;
    };
    struct Voice {
        const Sound* sound;
        std::int64_t startFrame;
        float gain;
    };

    std::int64_t PlaceEvent(std::int64_t stamp, std::int64_t bufferStart) noexcept;
    void TakeEvents(std::int64_t bufferStart) noexcept;
    void StartVoice(const Sound* sound, std::int64_t frame, float gain) noexcept;

    LockFreeQueue<Event, 4096> _events;
    std::atomic<std::int64_t> _latency{0};
    std::atomic<Placement> _placement{Placement::Stamped};
    double _sampleRate = 44100;

    // Audio thread only.
    ClockMapping _mapping;
    Voice _voices[MaxVoices];
    int _voiceCount = 0;
    IMixerStream* _streams[MaxStreams];
    int _streamCount = 0;
    std::int64_t _nextFrame = 0;

    std::atomic<std::int64_t> _framesRendered{0};
    std::atomic<std::int64_t> _lateEvents{0};
    std::atomic<std::int64_t> _droppedEvents{0};
    std::atomic<std::int64_t> _stolenVoices{0};
};

}  // namespace Platform
