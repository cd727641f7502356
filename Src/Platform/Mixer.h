#pragma once

#include <atomic>
#include <cstdint>

#include "Platform/IMixerStream.h"
#include "Platform/LockFreeQueue.h"
#include "Platform/OutputFrame.h"

namespace Platform {

// A sound ready to be played: interleaved stereo samples at the output's rate. The samples are
// owned elsewhere and must outlive every voice playing them.
struct Sound {
    const float* samples = nullptr;
    std::int64_t frames = 0;
};

// The mixer of the one audio output. Events (a sound to start, a command for a wave stream) name
// the output frame they start on and are handed over through a lock-free queue; the audio
// callback starts each on exactly that frame. Time never enters here: the output's frames are
// the clock. Render takes no lock, allocates nothing and makes no system call.
class Mixer {
public:
    static constexpr int Channels = 2;
    static constexpr int MaxVoices = 128;
    static constexpr int MaxStreams = 256;
    // A sound whose frame was rendered already is played at once (and counted late) when it is at
    // most this late; a later one would be heard as a stray click off the beat, or bunched with
    // the next ones after a stall, so it is dropped and counted.
    static constexpr double LateToleranceSeconds = 0.010;

    Mixer() noexcept;
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // Prepares for an output of this rate, forgetting voices and frames. Only while no Render runs.
    void Start(double sampleRate) noexcept;
    double SampleRate() const noexcept { return _sampleRate; }

    // Any thread: start `sound` on output frame `frame` (or at once),
    // scaled by `gain`. False when the queue is full.
    bool Play(const Sound* sound, OutputFrame frame, float gain = 1.0f) noexcept;
    // Any thread: attach a stream (it is mixed from the next buffer on) or detach it (OnDetached
    // follows on the audio thread).
    bool Attach(IMixerStream* stream) noexcept;
    bool Detach(IMixerStream* stream) noexcept;
    // Any thread: deliver `command` to an attached stream on the audio thread, with the output
    // frame it names (or at once).
    bool PostStream(IMixerStream* stream, int command, void* argument, OutputFrame frame) noexcept;

    // The audio callback: fills the next `frames` interleaved stereo frames.
    void Render(float* output, int frames) noexcept;
    // As Render, but a block nothing sounds in is left untouched and false returned: the caller
    // knows it for silence (a file writes it without mixing zeros).
    bool RenderSounding(float* output, int frames) noexcept;
    // Carries out the queued events when no audio thread runs (the output is closed): streams
    // attach, detach and take their commands; sounds are dropped.
    void Drain() noexcept;
    // Audio thread, from a stream's OnCommand: the frame a sound the stream starts on `frame` is
    // placed on, as for Play; -1 when it is too late and is dropped (and counted).
    std::int64_t PlaceStreamStart(OutputFrame frame, std::int64_t bufferStart) noexcept;

    // Counters for tests and benchmarks (read from any thread).
    std::int64_t FramesRendered() const noexcept { return _framesRendered.load(std::memory_order_acquire); }
    std::int64_t LateEvents() const noexcept { return _lateEvents.load(std::memory_order_relaxed); }
    // Events lost to a full queue, or dropped as too late to be played.
    std::int64_t DroppedEvents() const noexcept { return _droppedEvents.load(std::memory_order_relaxed); }
    std::int64_t StolenVoices() const noexcept { return _stolenVoices.load(std::memory_order_relaxed); }

private:
    enum class EventKind : std::uint8_t { Sound, Attach, Detach, Command };
    struct Event {
        EventKind kind;
        int command;
        float gain;
        const Sound* sound;
        IMixerStream* stream;
        void* argument;
        OutputFrame frame;
    };
    struct Voice {
        const Sound* sound;
        std::int64_t startFrame;
        float gain;
    };

    std::int64_t PlaceEvent(OutputFrame frame, std::int64_t bufferStart, bool droppable) noexcept;
    void TakeEvents(std::int64_t bufferStart) noexcept;
    void StartVoice(const Sound* sound, std::int64_t frame, float gain) noexcept;

    LockFreeQueue<Event, 4096> _events;
    double _sampleRate = 44100;
    std::int64_t _lateTolerance = 441;  // frames

    // Audio thread only.
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
