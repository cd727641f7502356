#include "Platform/AudioOutput.h"

#include <pa_linux_alsa.h>
#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "Platform/Clock.h"
#include "Platform/MultimediaResult.h"

namespace Platform {

namespace {

// Margin for a thread that hands its sound over late on a busy machine (the timer, a wave
// player woken by it).
constexpr std::int64_t LeadMargin = 15'000'000;
// A stream's first callbacks come in a burst while it fills the device's buffer; pauses between
// them tell nothing of its steady pace. Through the sound server's ALSA plugin the stream then
// stalls for one to two seconds before the server starts taking its frames. Start returns once
// the frames rendered keep pace with the clock: after the first StartCallbacks callbacks, at
// least half a window's worth of frames rendered within the last StartWindow.
constexpr int StartCallbacks = 8;
constexpr std::int64_t StartWindow = 100'000'000;
constexpr std::int64_t StartTimeout = 4'000'000'000;
// A pause between callbacks longer than this is a stall (an underflow), not the pace to plan for.
constexpr std::int64_t LongestPlannedGap = 100'000'000;
// How quickly the device's reported delay is followed (a weight per buffer).
constexpr double AheadSmoothing = 0.02;

std::int64_t BufferNs(double rate)
{
    return static_cast<std::int64_t>(AudioOutput::BufferFrames * 1e9 / rate);
}

}  // namespace

AudioOutput::AudioOutput() = default;

AudioOutput::~AudioOutput()
{
    {
        std::lock_guard guard(_lock);
        _closerStop = true;
        _users = 0;
        StopStream();
    }
    _closerWake.notify_all();
    _closer.Join();
    if (_paInitialised)
        Pa_Terminate();
}

AudioOutput& AudioOutput::Instance()
{
    static AudioOutput output;
    return output;
}

void AudioOutput::UseNullOutput(bool useNull)
{
    std::lock_guard guard(_lock);
    if (_useNull != useNull && _users == 0)
        StopStream();  // an idle stream of the other kind is not reused
    _useNull = useNull;
}

void AudioOutput::SetNullCapture(std::vector<float>* capture)
{
    std::lock_guard guard(_lock);
    if (_users == 0) {
        StopStream();  // the capture starts with the next stream's frame 0
        _capture = capture;
        _captured.store(0, std::memory_order_release);
    }
}

std::uint32_t AudioOutput::Acquire()
{
    {
        std::lock_guard guard(_lock);
        if (!_open) {
            // Not open, or closed under its users' feet because it died: opened afresh.
            std::uint32_t result = _useNull ? StartNull() : StartDevice();
            if (result != MmNoError)
                return result;
            _open = true;
            _running.store(true, std::memory_order_release);
        }
        ++_users;
        if (!_nullActive && !_closerStarted)
            _closerStarted = _closer.Start([this] { RunCloser(); });
    }
    _closerWake.notify_all();
    return MmNoError;
}

void AudioOutput::Release()
{
    {
        std::lock_guard guard(_lock);
        if (_users == 0 || --_users > 0 || !_open)
            return;
        if (_nullActive) {
            StopStream();  // the null output serves tests: each start is a fresh one
            return;
        }
        _idleSince = Clock::Now();
        if (!_closerStarted)
            StopStream();  // no thread to close it later: close it now
    }
    _closerWake.notify_all();
}

void AudioOutput::ServeWhileClosed() noexcept
{
    std::lock_guard guard(_lock);
    if (!_open)
        _mixer.Drain();
}

void AudioOutput::CloseIdle()
{
    std::lock_guard guard(_lock);
    if (_users == 0)
        StopStream();
}

// Closes the device's stream once it has had no user for the idle delay, and watches it while
// it is open: a stream whose callbacks have stopped (the sound server went away) is closed, so
// that what plays on it fails and the next start opens the device afresh.
void AudioOutput::RunCloser()
{
    std::unique_lock guard(_lock);
    while (!_closerStop) {
        if (!_open || _nullActive) {
            _closerWake.wait(guard);
            continue;
        }
        const std::int64_t now = Clock::Now();
        if (now - _lastCallback.load(std::memory_order_relaxed) > DeadAfter) {
            _reinitialise = true;  // the server the sound system knew may be gone
            StopStream();
            continue;
        }
        std::int64_t wake = now + WatchInterval;
        if (_users == 0) {
            const std::int64_t closeAt = _idleSince + IdleCloseDelay;
            if (now >= closeAt) {
                StopStream();
                continue;
            }
            wake = std::min(wake, closeAt);
        }
        _closerWake.wait_for(guard, std::chrono::nanoseconds(wake - now));
    }
}

// --- timing ---

void AudioOutput::PrepareTiming(double rate)
{
    _sampleRate.store(rate, std::memory_order_release);
    _mixer.Start(rate);
    _mapping.Reset(rate);
    _previousCallback = 0;
    _lastCallback.store(Clock::Now(), std::memory_order_relaxed);
    _maxGap = 0;
    _lastAhead = -1;
    _ahead = 0;
    _callbacks.store(0, std::memory_order_release);
    _restarts.store(0, std::memory_order_relaxed);
    _leadNs.store(3 * BufferNs(rate) + LeadMargin, std::memory_order_relaxed);
    _published.sequence.store(0, std::memory_order_release);
}

void AudioOutput::Publish(const ClockMapping::State& state, double ahead) noexcept
{
    const std::uint32_t sequence = _published.sequence.load(std::memory_order_relaxed);
    _published.sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    _published.origin.store(state.origin, std::memory_order_relaxed);
    _published.baseTime.store(state.baseTime, std::memory_order_relaxed);
    _published.baseFrame.store(state.baseFrame, std::memory_order_relaxed);
    _published.framePeriod.store(state.framePeriod, std::memory_order_relaxed);
    _published.ahead.store(ahead, std::memory_order_relaxed);
    _published.sequence.store(sequence + 2, std::memory_order_release);
}

AudioOutput::Snapshot AudioOutput::Read() const noexcept
{
    Snapshot snapshot;
    for (;;) {
        const std::uint32_t before = _published.sequence.load(std::memory_order_acquire);
        if (before == 0) {
            // No buffer yet: frame 0 is being rendered now.
            snapshot.mapping.origin = Clock::Now();
            snapshot.mapping.framePeriod = 1e9 / SampleRate();
            return snapshot;
        }
        if (before & 1)
            continue;
        snapshot.mapping.origin = _published.origin.load(std::memory_order_relaxed);
        snapshot.mapping.baseTime = _published.baseTime.load(std::memory_order_relaxed);
        snapshot.mapping.baseFrame = _published.baseFrame.load(std::memory_order_relaxed);
        snapshot.mapping.framePeriod = _published.framePeriod.load(std::memory_order_relaxed);
        snapshot.ahead = _published.ahead.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (_published.sequence.load(std::memory_order_relaxed) == before)
            return snapshot;
    }
}

std::int64_t AudioOutput::LeadFrame() const noexcept
{
    const Snapshot snapshot = Read();
    // The loop's estimate may trail a burst of callbacks: never name a frame rendered already.
    // Nor may it run on while the output stalls (an underflow, the server restarting the
    // stream): frames not rendered do not pass, or every click after the stall would come later
    // by its length.
    const double lead = static_cast<double>(LeadTime()) / snapshot.mapping.framePeriod;
    const auto rendered = static_cast<double>(_mixer.FramesRendered());
    // A closed output's frames pass with the clock, so that whatever waits for them goes on
    // (and finds the output closed).
    const double frame = snapshot.mapping.FrameAt(Clock::Now());
    const double rendering = Running() ? std::clamp(frame, rendered, rendered + lead) : std::max(frame, rendered);
    return static_cast<std::int64_t>(std::ceil(rendering + lead));
}

std::int64_t AudioOutput::HandOverTime(std::int64_t frame) const noexcept
{
    const Snapshot snapshot = Read();
    return static_cast<std::int64_t>(snapshot.mapping.TimeAt(static_cast<double>(frame))) - LeadTime();
}

std::int64_t AudioOutput::HeardAt(std::int64_t frame) const noexcept
{
    const Snapshot snapshot = Read();
    return static_cast<std::int64_t>(snapshot.mapping.TimeAt(static_cast<double>(frame)) + snapshot.ahead);
}

double AudioOutput::FrameAt(std::int64_t time) const noexcept
{
    return Read().mapping.FrameAt(time);
}

double AudioOutput::MeasuredRate() const noexcept
{
    return 1e9 / Read().mapping.framePeriod;
}

void AudioOutput::OnBuffer(float* output, int frames, std::int64_t callbackTime, double aheadNs) noexcept
{
    _lastCallback.store(callbackTime, std::memory_order_relaxed);
    const int callbacks = _callbacks.load(std::memory_order_relaxed) + 1;
    if (_previousCallback != 0 && callbacks > StartCallbacks) {
        // The lead covers the longest pause between callbacks seen in this stream twice: a wave
        // player waits for one callback to take its reset before it writes for the next (a stall
        // longer than any pace is not planned for).
        const std::int64_t gap = callbackTime - _previousCallback;
        if (gap > _maxGap && gap <= LongestPlannedGap) {
            _maxGap = gap;
            _leadNs.store(BufferNs(_sampleRate.load(std::memory_order_relaxed)) + 2 * gap + LeadMargin,
                          std::memory_order_relaxed);
        }
    }
    _previousCallback = callbackTime;
    const int restartsBefore = _mapping.Restarts();
    _mapping.Observe(_mixer.FramesRendered(), callbackTime);
    if (_mapping.Restarts() != restartsBefore)
        _restarts.store(_mapping.Restarts(), std::memory_order_relaxed);
    _ahead = callbacks == 1 ? aheadNs : _ahead + AheadSmoothing * (aheadNs - _ahead);
    Publish(_mapping.Current(), _ahead);
    _mixer.Render(output, frames);
    _callbacks.store(callbacks, std::memory_order_release);
}

int AudioOutput::Callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* times,
                          unsigned long flags, void* self)
{
    auto& audio = *static_cast<AudioOutput*>(self);
    if (flags & paOutputUnderflow)
        audio._underflows.fetch_add(1, std::memory_order_relaxed);
    const std::int64_t now = Clock::Now();  // read through the vDSO: no system call
    double ahead = times->outputBufferDacTime - times->currentTime;
    if (!(ahead > 0 && ahead < 1.0))
        ahead = audio._lastAhead;  // this device gives no time: keep the last
    if (ahead < 0)
        ahead = SuggestedLatency;
    audio._lastAhead = ahead;
    audio.OnBuffer(static_cast<float*>(output), static_cast<int>(frames), now, ahead * 1e9);
    return paContinue;
}

std::uint32_t AudioOutput::StartDevice()
{
    // A sound system that lost its server, or that found none when it started, is started
    // again: it learns its devices only then.
    if (_paInitialised && _reinitialise) {
        Pa_Terminate();
        _paInitialised = false;
    }
    _reinitialise = false;
    const std::uint32_t result = OpenDevice();
    if (result != MmNoError)
        _reinitialise = true;
    return result;
}

std::uint32_t AudioOutput::OpenDevice()
{
    if (!_paInitialised) {
        if (Pa_Initialize() != paNoError)
            return MmNoDriver;
        _paInitialised = true;
    }
    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
    if (!info)
        return MmNoDriver;

    PaStreamParameters parameters{};
    parameters.device = device;
    parameters.channelCount = Mixer::Channels;
    parameters.sampleFormat = paFloat32;
    parameters.suggestedLatency = std::max(SuggestedLatency, info->defaultLowOutputLatency);
    double rate = PreferredRate;
    if (Pa_IsFormatSupported(nullptr, &parameters, rate) != paFormatIsSupported)
        rate = info->defaultSampleRate;

    PaStream* stream = nullptr;
    if (Pa_OpenStream(&stream, nullptr, &parameters, rate, BufferFrames, paNoFlag,
                      &AudioOutput::Callback, this) != paNoError)
        return MmNoDriver;

    // Through ALSA the callback runs on PortAudio's own thread: give it real-time scheduling (where
    // the system allows) so that a busy machine does not make it miss its turn.
    if (const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi); api && api->type == paALSA)
        PaAlsa_EnableRealtimeScheduling(stream, 1);
    PrepareTiming(rate);
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return MmNotEnabled;
    }
    _stream = stream;
    _nullActive = false;

    // Wait until the frames rendered and the clock run together; then a click can be placed.
    const std::int64_t started = Clock::Now();
    const auto windowFrames = static_cast<std::int64_t>(static_cast<double>(StartWindow) * rate / 1e9);
    std::int64_t windowStart = 0, windowFrame = 0;  // a reading taken once the burst was over
    bool steady = false;
    while (!steady && Clock::Now() - started < StartTimeout) {
        Clock::SleepUntil(Clock::Now() + 2'000'000);
        if (_callbacks.load(std::memory_order_acquire) < StartCallbacks)
            continue;
        const std::int64_t now = Clock::Now(), frames = _mixer.FramesRendered();
        if (windowStart == 0) {
            windowStart = now;
            windowFrame = frames;
        } else if (now - windowStart >= StartWindow) {
            steady = frames - windowFrame >= windowFrames / 2;
            windowStart = now;
            windowFrame = frames;
        }
    }
    if (!steady) {
        StopStream();
        return MmNotEnabled;  // the stream started but never asked for sound at its pace
    }
    return MmNoError;
}

std::uint32_t AudioOutput::StartNull()
{
    PrepareTiming(PreferredRate);
    _captured.store(0, std::memory_order_release);
    _nullStop.store(false, std::memory_order_release);
    _nullStart.store(Clock::Now() + NullDeviceDelay, std::memory_order_release);
    if (!_nullThread.Start([this] { RunNull(); }))
        return MmNoMemory;
    _nullActive = true;
    return MmNoError;
}

void AudioOutput::StopStream()
{
    _open = false;
    _running.store(false, std::memory_order_release);
    if (_nullActive) {
        _nullStop.store(true, std::memory_order_release);
        _nullThread.Join();
        _nullActive = false;
    }
    if (_stream) {
        auto* stream = static_cast<PaStream*>(_stream);
        // Aborted, not drained: what is still queued is of no use, and a stream whose server
        // went away would never drain.
        Pa_AbortStream(stream);
        Pa_CloseStream(stream);
        _stream = nullptr;
    }
    // No audio thread now: what was handed to the mixer (a wave device's reset or detach) is
    // carried out here, so that nobody waits for it.
    _mixer.Drain();
}

// Renders one buffer every buffer period, on a grid that does not drift, and "hears" each buffer
// a fixed delay after rendering it: a perfect sound card.
void AudioOutput::RunNull()
{
    const double rate = PreferredRate;
    const std::int64_t heardStart = _nullStart.load(std::memory_order_acquire);
    std::vector<float> buffer(BufferFrames * Mixer::Channels);
    for (std::int64_t n = 0; !_nullStop.load(std::memory_order_acquire); ++n) {
        const auto offset = static_cast<std::int64_t>(std::llround(n * BufferFrames * 1e9 / rate));
        const std::int64_t rendered = heardStart + offset - NullDeviceDelay;
        Clock::SleepUntil(rendered);
        OnBuffer(buffer.data(), BufferFrames, rendered, static_cast<double>(NullDeviceDelay));
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
