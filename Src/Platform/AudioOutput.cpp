#include "Platform/AudioOutput.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "Platform/Clock.h"
#include "Platform/MultimediaResult.h"

namespace Platform {

namespace {

// Margin for a thread that hands its sound over late on a busy machine (the timer, a wave
// player woken by it).
constexpr std::int64_t LeadMargin = 15'000'000;
// How long after what a server may not play of a held stream's start its first sound comes.
constexpr std::int64_t UnheardMargin = 1'000'000;
// A stream's first callbacks come in a burst while it fills the device's buffer; pauses between
// them tell nothing of its steady pace.
constexpr int StartCallbacks = 8;
// A pause between callbacks longer than this is a stall (an underflow), not the pace to plan for.
constexpr std::int64_t LongestPlannedGap = 100'000'000;
// How quickly the device's reported delay is followed (a weight per buffer).
constexpr double AheadSmoothing = 0.02;

std::int64_t BufferNs(int frames, double rate)
{
    return static_cast<std::int64_t>(frames * 1e9 / rate);
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
        _null.SetCapture(capture);
    }
}

std::vector<DeviceOutput::Entry> AudioOutput::Devices()
{
    std::lock_guard guard(_lock);
    return _device.List();
}

void AudioOutput::ChooseDevice(std::string hostApi, std::string device)
{
    std::lock_guard guard(_lock);
    if (hostApi == _device.ChosenHostApi() && device == _device.ChosenDevice())
        return;
    _device.Choose(std::move(hostApi), std::move(device));
    if (_active == &_device || _active == &_pulse || _active == &_pipeWire)
        ReplaceWhenIdle();
}

void AudioOutput::ChooseJack(bool jack)
{
    std::lock_guard guard(_lock);
    if (jack == _useJack)
        return;
    _useJack = jack;
    if (_active && _active != &_null)
        ReplaceWhenIdle();
}

void AudioOutput::ReplaceWhenIdle()
{
    if (_users == 0)
        StopStream();
    else
        _replace = true;
}

bool AudioOutput::PlaysThroughJack()
{
    std::lock_guard guard(_lock);
    return _active == &_jack;
}

bool AudioOutput::PlaysThroughServer()
{
    std::lock_guard guard(_lock);
    return _active == &_pulse || _active == &_pipeWire;
}

bool AudioOutput::PlaysThroughPipeWire()
{
    std::lock_guard guard(_lock);
    return _active == &_pipeWire;
}

bool AudioOutput::Paused()
{
    std::lock_guard guard(_lock);
    return _paused;
}

void AudioOutput::SetNotice(void (*notice)(const char*))
{
    _notice.store(notice, std::memory_order_release);
}

void AudioOutput::Notice(const char* format, ...)
{
    void (*notice)(const char*) = _notice.load(std::memory_order_acquire);
    if (!notice)
        return;
    char message[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    notice(message);
}

// The default output is the desktop's sound server (a PipeWire server in its own protocol, any
// other through libpulse); a device chosen by name is opened through PortAudio.
IAudioDriver& AudioOutput::DefaultDriver() noexcept
{
    if (_device.ChosenHostApi().empty() && _device.ChosenDevice().empty())
        return _pipeWire;
    return _device;
}

IAudioDriver& AudioOutput::Chosen() noexcept
{
    if (_useNull)
        return _null;
    return _useJack ? _jack : DefaultDriver();
}

// Opens the chosen driver's stream; one that cannot be had leaves the next in line: no JACK
// server, the default output; no PipeWire server that plays sound, a PulseAudio server; no sound
// server, the sound device.
std::uint32_t AudioOutput::Open(bool hold)
{
    IAudioDriver* driver = &Chosen();
    const auto start = [this, hold](IAudioDriver& next) { return hold ? next.StartHeld(*this) : next.Start(*this); };
    std::uint32_t result = start(*driver);
    if (result != MmNoError && driver == &_jack) {
        Notice("No JACK server answered: playing through the sound device");
        driver = &DefaultDriver();
        result = start(*driver);
    }
    if (result != MmNoError && driver == &_pipeWire) {
        driver = &_pulse;
        result = start(*driver);
    }
    if (result != MmNoError && driver == &_pulse) {
        driver = &_device;
        result = start(*driver);
    }
    if (result != MmNoError)
        return result;
    if (driver == &_device && _device.ChoiceMissing())
        Notice("The sound output \"%s: %s\" is not there: playing through the default output",
               _device.ChosenHostApi().c_str(), _device.ChosenDevice().c_str());
    _active = driver;
    _running.store(true, std::memory_order_release);
    return MmNoError;
}

std::uint32_t AudioOutput::Acquire()
{
    {
        std::lock_guard guard(_lock);
        const bool hold = std::exchange(_holdNext, false);
        // A stream waiting at its server plays again at once, or waits there on hold. One that
        // died before the watch saw it (the server went away a moment ago), or that cannot play
        // again, is not reused.
        const bool resume = _active && _paused;
        if (_active && (!_active->Alive() || (resume && _active->Resume(hold) != MmNoError))) {
            _active->Lost();
            StopStream();
        }
        _paused = false;
        if (_active && resume && hold)
            Hold();
        if (!_active) {
            // Not open, or closed under its users' feet because it died: opened afresh, and held
            // where its driver can.
            if (std::uint32_t result = Open(hold); result != MmNoError)
                return result;
            if (hold)
                Hold();
        }
        ++_users;
        if (_active->KeptOpen() && !_closerStarted)
            _closerStarted = _closer.Start([this] { RunCloser(); });
    }
    _closerWake.notify_all();
    return MmNoError;
}

void AudioOutput::Hold()
{
    if (!_active->Held())
        return;  // this driver played at once
    _held = true;
    _heldSince = Clock::Now();
    // The mixer stands at frame 0 until the stream plays: a sound handed over now is placed a
    // moment after it, and after whatever of the stream's start the server may not play.
    _leadNs.store(std::max(HeldLead.count(), _active->StartUnheardNs() + UnheardMargin), std::memory_order_relaxed);
}

void AudioOutput::HoldNextStart()
{
    std::lock_guard guard(_lock);
    _holdNext = true;
}

void AudioOutput::Play()
{
    {
        std::lock_guard guard(_lock);
        _holdNext = false;
        if (!std::exchange(_held, false) || !_active)
            return;
        _active->Play();
    }
    _closerWake.notify_all();
}

bool AudioOutput::Held()
{
    std::lock_guard guard(_lock);
    return _held;
}

void AudioOutput::Release()
{
    {
        std::lock_guard guard(_lock);
        if (_users == 0 || --_users > 0 || !_active)
            return;
        _held = false;  // the stream pauses still corked
        if (!_active->KeptOpen() || _replace) {
            // The null output serves tests: each start is a fresh one. A device no longer chosen
            // makes way for the chosen one.
            StopStream();
            return;
        }
        if (_active->Pause()) {
            // Nothing renders now: what was handed to the mixer is carried out here.
            _paused = true;
            _mixer.Drain();
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
    if (!_active || _paused)
        _mixer.Drain();
}

void AudioOutput::CloseIdle()
{
    std::lock_guard guard(_lock);
    if (_users == 0)
        StopStream();
}

// Closes a kept-open stream once it has had no user for the idle delay, and watches it while
// it is open: a stream whose callbacks have stopped (the sound server went away) is closed, so
// that what plays on it fails and the next start opens the device afresh.
void AudioOutput::RunCloser()
{
    std::unique_lock guard(_lock);
    while (!_closerStop) {
        if (!_active || !_active->KeptOpen()) {
            _closerWake.wait(guard);
            continue;
        }
        const std::int64_t now = Clock::Now();
        // A paused stream asks for nothing; its driver still knows when its server went away.
        if (!_active->Alive() ||
            (!_paused && now - _lastCallback.load(std::memory_order_relaxed) > DeadAfter.count())) {
            _active->Lost();  // the server the sound system knew may be gone
            StopStream();
            continue;
        }
        std::int64_t wake = now + (_paused ? PausedWatchInterval : WatchInterval).count();
        if (_held) {
            // A hold nobody ended (its first sound never came): the stream plays.
            if (now - _heldSince >= LongestHold.count()) {
                _held = false;
                _active->Play();
                continue;
            }
            wake = std::min(wake, _heldSince + LongestHold.count());
        }
        if (_users == 0 && !_paused) {
            const std::int64_t closeAt = _idleSince + IdleCloseDelay.count();
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

void AudioOutput::Prepare(double rate) noexcept
{
    _sampleRate.store(rate, std::memory_order_release);
    _mixer.Start(rate);
    _mapping.Reset(rate);
    _previousCallback = 0;
    _lastCallback.store(Clock::Now(), std::memory_order_relaxed);
    _maxGap = 0;
    _ahead = 0;
    _callbacks.store(0, std::memory_order_release);
    _restarts.store(0, std::memory_order_relaxed);
    _leadNs.store(2 * BufferNs(DeviceOutput::BufferFrames, rate) + LeadMargin, std::memory_order_relaxed);
    _paceNs.store(BufferNs(DeviceOutput::BufferFrames, rate), std::memory_order_relaxed);
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
    // The clock is read before the mapping: before the first buffer (a held start) the mapping
    // puts frame 0 at the time it is read, so the frame found lies at or just before 0 and the
    // frames rendered hold it at 0. Read after, the moment between the two readings made it a
    // frame later at 48 kHz, where the lead is a whole number of frames.
    const std::int64_t now = Clock::Now();
    const Snapshot snapshot = Read();
    // The loop's estimate may trail a burst of callbacks: never name a frame rendered already.
    // Nor may it run on while the output stalls (an underflow, the server restarting the
    // stream): frames not rendered do not pass, or every click after the stall would come later
    // by its length.
    const double lead = static_cast<double>(LeadTime()) / snapshot.mapping.framePeriod;
    const auto rendered = static_cast<double>(_mixer.FramesRendered());
    // A closed output's frames pass with the clock, so that whatever waits for them goes on
    // (and finds the output closed).
    const double frame = snapshot.mapping.FrameAt(now);
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

double AudioOutput::FrameHeardAt(std::int64_t time) const noexcept
{
    const Snapshot snapshot = Read();
    return snapshot.mapping.FrameAt(time - std::llround(snapshot.ahead));
}

double AudioOutput::FrameAt(std::int64_t time) const noexcept
{
    return Read().mapping.FrameAt(time);
}

double AudioOutput::MeasuredRate() const noexcept
{
    return 1e9 / Read().mapping.framePeriod;
}

void AudioOutput::OnBuffer(float* output, int frames, const BufferTiming& timing) noexcept
{
    const std::int64_t callbackTime = timing.callbackTime;
    if (timing.underflow)
        _underflows.fetch_add(1, std::memory_order_relaxed);
    _lastCallback.store(callbackTime, std::memory_order_relaxed);
    const int callbacks = _callbacks.load(std::memory_order_relaxed) + 1;
    if (timing.leadNs > 0) {
        _leadNs.store(timing.leadNs, std::memory_order_relaxed);
    } else if (_previousCallback != 0 && callbacks > StartCallbacks) {
        // The lead covers the longest pause between callbacks seen in this stream (a stall
        // longer than any pace is not planned for).
        const std::int64_t gap = callbackTime - _previousCallback;
        if (gap > _maxGap && gap <= LongestPlannedGap) {
            _maxGap = gap;
            _leadNs.store(BufferNs(frames, _sampleRate.load(std::memory_order_relaxed)) + gap + LeadMargin,
                          std::memory_order_relaxed);
        }
    }
    _previousCallback = callbackTime;
    if (timing.mapping) {
        // A driver that maps its frames itself worked its mapping out with this delay: as it is.
        _ahead = timing.aheadNs;
        Publish(*timing.mapping, _ahead);
    } else {
        _ahead = callbacks == 1 ? timing.aheadNs : _ahead + AheadSmoothing * (timing.aheadNs - _ahead);
        const int restartsBefore = _mapping.Restarts();
        _mapping.Observe(_mixer.FramesRendered(), callbackTime);
        if (_mapping.Restarts() != restartsBefore)
            _restarts.store(_mapping.Restarts(), std::memory_order_relaxed);
        Publish(_mapping.Current(), _ahead);
    }
    if (frames > 0) {
        _paceNs.store(BufferNs(frames, _sampleRate.load(std::memory_order_relaxed)), std::memory_order_relaxed);
        _mixer.Render(output, frames);
    }
    _callbacks.store(callbacks, std::memory_order_release);
}

void AudioOutput::StopStream()
{
    _replace = false;
    _paused = false;
    _held = false;
    _running.store(false, std::memory_order_release);
    if (_active) {
        _active->Stop();
        _active = nullptr;
    }
    // No audio thread now: what was handed to the mixer (a wave device's reset or detach) is
    // carried out here, so that nobody waits for it.
    _mixer.Drain();
}

}  // namespace Platform
