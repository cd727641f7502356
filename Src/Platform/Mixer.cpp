#include "Platform/Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Platform {

Mixer::Mixer() noexcept : _voices{}, _streams{} {}

void Mixer::Start(double sampleRate) noexcept
{
    _sampleRate = sampleRate;
    _lateTolerance = static_cast<std::int64_t>(LateToleranceSeconds * sampleRate);
    _voiceCount = 0;
    _nextFrame = 0;
    _framesRendered.store(0, std::memory_order_release);
    // Sounds left in the queue from an earlier run would be long overdue: drop them. Streams stay
    // attached; their own state says whether they play.
    Event event;
    while (_events.Pop(event)) {
        if (event.kind == EventKind::Attach && _streamCount < MaxStreams)
            _streams[_streamCount++] = event.stream;
        else if (event.kind == EventKind::Detach)
            event.stream->OnDetached();
    }
}

bool Mixer::Play(const Sound* sound, OutputFrame frame, float gain) noexcept
{
    if (!sound || sound->frames <= 0)
        return true;
    Event event{EventKind::Sound, 0, gain, sound, nullptr, nullptr, frame};
    if (_events.Push(event))
        return true;
    _droppedEvents.fetch_add(1, std::memory_order_relaxed);
    return false;
}

bool Mixer::Attach(IMixerStream* stream) noexcept
{
    return _events.Push(Event{EventKind::Attach, 0, 0, nullptr, stream, nullptr, 0});
}

bool Mixer::Detach(IMixerStream* stream) noexcept
{
    return _events.Push(Event{EventKind::Detach, 0, 0, nullptr, stream, nullptr, 0});
}

bool Mixer::PostStream(IMixerStream* stream, int command, void* argument, OutputFrame frame) noexcept
{
    return _events.Push(Event{EventKind::Command, command, 0, nullptr, stream, argument, frame});
}

// The output frame an event naming `frame` starts on: never before the buffer being rendered. An
// event that comes too late is played at once and counted; one later than the tolerance is
// dropped (-1) when `droppable`.
std::int64_t Mixer::PlaceEvent(OutputFrame frame, std::int64_t bufferStart, bool droppable) noexcept
{
    if (frame.IsAtOnce())
        return bufferStart;
    if (frame.Frame() >= bufferStart)
        return frame.Frame();
    if (droppable && bufferStart - frame.Frame() > _lateTolerance) {
        _droppedEvents.fetch_add(1, std::memory_order_relaxed);
        return -1;
    }
    _lateEvents.fetch_add(1, std::memory_order_relaxed);
    return bufferStart;
}

void Mixer::StartVoice(const Sound* sound, std::int64_t frame, float gain) noexcept
{
    if (_voiceCount == MaxVoices) {
        // Take the voice that started first: it has sounded longest.
        int oldest = 0;
        for (int i = 1; i < _voiceCount; ++i)
            if (_voices[i].startFrame < _voices[oldest].startFrame)
                oldest = i;
        _voices[oldest] = _voices[--_voiceCount];
        _stolenVoices.fetch_add(1, std::memory_order_relaxed);
    }
    _voices[_voiceCount++] = Voice{sound, frame, gain};
}

void Mixer::TakeEvents(std::int64_t bufferStart) noexcept
{
    Event event;
    while (_events.Pop(event)) {
        switch (event.kind) {
        case EventKind::Sound:
            if (const std::int64_t frame = PlaceEvent(event.frame, bufferStart, true); frame >= 0)
                StartVoice(event.sound, frame, event.gain);
            break;
        case EventKind::Attach:
            if (_streamCount < MaxStreams)
                _streams[_streamCount++] = event.stream;
            break;
        case EventKind::Detach:
            for (int i = 0; i < _streamCount; ++i) {
                if (_streams[i] == event.stream) {
                    _streams[i] = _streams[--_streamCount];
                    break;
                }
            }
            event.stream->OnDetached();
            break;
        case EventKind::Command:
            // Only the stream knows whether a command starts a sound (a write to a quiet device)
            // or carries one on; it asks for the placement when it starts one.
            event.stream->OnCommand(event.command, event.argument, event.frame, *this, bufferStart);
            break;
        }
    }
}

void Mixer::Drain() noexcept
{
    TakeEvents(_nextFrame);
    _voiceCount = 0;
}

std::int64_t Mixer::PlaceStreamStart(OutputFrame frame, std::int64_t bufferStart) noexcept
{
    return PlaceEvent(frame, bufferStart, true);
}

void Mixer::Render(float* output, int frames) noexcept
{
    if (!RenderSounding(output, frames))
        std::memset(output, 0, sizeof(float) * Channels * static_cast<std::size_t>(frames));
}

bool Mixer::RenderSounding(float* output, int frames) noexcept
{
    const std::int64_t first = _nextFrame;
    TakeEvents(first);
    const std::int64_t end = first + frames;

    // Most of a click track is the silence between its clicks: with no voice and no stream
    // sounding in this block, nothing is mixed.
    bool sounding = false;
    for (int v = 0; v < _voiceCount && !sounding; ++v)
        sounding = _voices[v].startFrame < end;
    for (int s = 0; s < _streamCount && !sounding; ++s)
        sounding = _streams[s]->Sounding(first, frames);
    if (!sounding) {
        _nextFrame = end;
        _framesRendered.store(end, std::memory_order_release);
        return false;
    }

    std::memset(output, 0, sizeof(float) * Channels * static_cast<std::size_t>(frames));
    for (int v = 0; v < _voiceCount;) {
        Voice& voice = _voices[v];
        const Sound& sound = *voice.sound;
        if (voice.startFrame >= end) {
            ++v;
            continue;
        }
        const std::int64_t from = std::max(first, voice.startFrame);
        const std::int64_t to = std::min(end, voice.startFrame + sound.frames);
        const float* in = sound.samples + (from - voice.startFrame) * Channels;
        float* out = output + (from - first) * Channels;
        for (std::int64_t i = 0; i < (to - from) * Channels; ++i)
            out[i] += in[i] * voice.gain;
        if (voice.startFrame + sound.frames <= end)
            voice = _voices[--_voiceCount];  // finished: the last voice takes its place
        else
            ++v;
    }
    for (int s = 0; s < _streamCount; ++s)
        _streams[s]->Mix(output, first, frames);

    for (int i = 0; i < frames * Channels; ++i)
        output[i] = std::clamp(output[i], -1.0f, 1.0f);
    _nextFrame = end;
    _framesRendered.store(end, std::memory_order_release);
    return true;
}

}  // namespace Platform
