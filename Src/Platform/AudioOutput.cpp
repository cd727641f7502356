#include "Platform/AudioOutput.h"

#include <pa_linux_alsa.h>
#include <portaudio.h>
#include <time.h>

#include <algorithm>
#include <cmath>

#include "Platform/Clock.h"
#include "Platform/MultimediaResult.h"

namespace Platform {

namespace {

// What the first callbacks of a new stream show: how far ahead of the callback its first frame
// is heard, and how long the callbacks may be apart. The fixed latency is chosen from them.
struct WarmUp {
    std::atomic<int> callbacks{0};
    std::atomic<std::int64_t> lastCallback{0};
    std::atomic<std::int64_t> maxGap{0};
    std::atomic<std::int64_t> maxAhead{0};
    std::atomic<std::int64_t> sumAhead{0};
};
WarmUp warmUp;

// Margin for a timer thread that hands its event over late and for an unsteady callback.
constexpr std::int64_t LatencyMargin = 10'000'000;
constexpr int SkippedCallbacks = 8;   // a stream's first callbacks come in a burst, often before a pause
constexpr int WarmUpCallbacks = 48;
constexpr std::int64_t SteadyGap = 100'000'000;  // a longer pause starts the measuring again

void RaiseToMax(std::atomic<std::int64_t>& value, std::int64_t candidate) noexcept
{
    std::int64_t current = value.load(std::memory_order_relaxed);
    while (candidate > current && !value.compare_exchange_weak(current, candidate, std::memory_order_relaxed)) {
    }
}

void SleepUntil(std::int64_t time) noexcept
{
    timespec until{static_cast<time_t>(time / 1'000'000'000), static_cast<long>(time % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
    }
}

}  // namespace

AudioOutput::AudioOutput() = default;

AudioOutput::~AudioOutput()
{
    std::lock_guard guard(_lock);
    if (_users > 0) {
        _users = 0;
        if (_nullActive)
            StopNull();
        else
            StopDevice();
    }
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
    _useNull = useNull;
}

void AudioOutput::SetNullCapture(std::vector<float>* capture)
{
    std::lock_guard guard(_lock);
    if (_users == 0) {
        _capture = capture;
        _captured.store(0, std::memory_order_release);
    }
}

std::uint32_t AudioOutput::Acquire()
{
    std::lock_guard guard(_lock);
    if (_users > 0) {
        ++_users;
        return MmNoError;
    }
    std::uint32_t result = _useNull ? StartNull() : StartDevice();
    if (result == MmNoError) {
        _users = 1;
        _running.store(true, std::memory_order_release);
    }
    return result;
}

void AudioOutput::Release()
{
    std::lock_guard guard(_lock);
    if (_users == 0 || --_users > 0)
        return;
    _running.store(false, std::memory_order_release);
    if (_nullActive)
        StopNull();
    else
        StopDevice();
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
        ahead = audio._lastAhead.load(std::memory_order_relaxed);  // this device gives no time: keep the last
    if (ahead < 0)
        ahead = SuggestedLatency;
    audio._lastAhead.store(ahead, std::memory_order_relaxed);
    const auto aheadNs = static_cast<std::int64_t>(ahead * 1e9);

    if (int seen = warmUp.callbacks.load(std::memory_order_relaxed); seen < WarmUpCallbacks) {
        const std::int64_t last = warmUp.lastCallback.exchange(now, std::memory_order_relaxed);
        if (last != 0 && now - last > SteadyGap) {
            seen = 0;  // the device paused: what came before does not describe it
            warmUp.maxGap.store(0, std::memory_order_relaxed);
            warmUp.maxAhead.store(0, std::memory_order_relaxed);
            warmUp.sumAhead.store(0, std::memory_order_relaxed);
        } else if (seen >= SkippedCallbacks) {
            RaiseToMax(warmUp.maxGap, now - last);
            RaiseToMax(warmUp.maxAhead, aheadNs);
            warmUp.sumAhead.fetch_add(aheadNs, std::memory_order_relaxed);
        }
        warmUp.callbacks.store(seen + 1, std::memory_order_release);
    }
    // Once the stream runs steadily the device's delay is taken as the fixed one seen while
    // warming up: through a sound server the reported delay wanders by a millisecond and more
    // over seconds, while the callbacks themselves keep pace with the output's sample clock.
    const std::int64_t fixedAhead = audio._fixedAhead.load(std::memory_order_relaxed);
    audio._mixer.Render(static_cast<float*>(output), static_cast<int>(frames),
                        now + (fixedAhead > 0 ? fixedAhead : aheadNs));
    return paContinue;
}

std::uint32_t AudioOutput::StartDevice()
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
    _sampleRate.store(rate, std::memory_order_release);
    _mixer.Start(rate);
    _lastAhead.store(-1, std::memory_order_relaxed);
    warmUp.callbacks.store(0);
    warmUp.lastCallback.store(0);
    warmUp.maxGap.store(0);
    warmUp.maxAhead.store(0);
    warmUp.sumAhead.store(0);
    _fixedAhead.store(0, std::memory_order_relaxed);
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return MmNotEnabled;
    }
    _stream = stream;

    // Watch the first steady callbacks (waiting at most three seconds for them) to learn how far
    // ahead the device plays and how unevenly it calls; the latency is fixed from them for as long
    // as the stream runs.
    const std::int64_t giveUp = Clock::Now() + 3'000'000'000;
    while (warmUp.callbacks.load(std::memory_order_acquire) < WarmUpCallbacks && Clock::Now() < giveUp)
        SleepUntil(Clock::Now() + 2'000'000);
    if (warmUp.callbacks.load(std::memory_order_acquire) <= SkippedCallbacks) {
        StopDevice();
        return MmNotEnabled;  // the stream started but never asked for sound
    }
    const auto bufferNs = static_cast<std::int64_t>(BufferFrames * 1e9 / rate);
    const std::int64_t gap = std::max(warmUp.maxGap.load(), bufferNs);
    _mixer.SetLatency(warmUp.maxAhead.load() + gap + LatencyMargin);
    const int measured = warmUp.callbacks.load(std::memory_order_acquire) - SkippedCallbacks;
    if (measured > 0)
        _fixedAhead.store(warmUp.sumAhead.load() / measured, std::memory_order_relaxed);
    return MmNoError;
}

void AudioOutput::StopDevice()
{
    if (!_stream)
        return;
    auto* stream = static_cast<PaStream*>(_stream);
    Pa_StopStream(stream);
    Pa_CloseStream(stream);
    _stream = nullptr;
}

std::uint32_t AudioOutput::StartNull()
{
    _sampleRate.store(PreferredRate, std::memory_order_release);
    _mixer.Start(PreferredRate);
    const auto bufferNs = static_cast<std::int64_t>(BufferFrames * 1e9 / PreferredRate);
    _mixer.SetLatency(NullDeviceDelay + bufferNs + LatencyMargin);
    _captured.store(0, std::memory_order_release);
    _nullStop.store(false, std::memory_order_release);
    _nullStart.store(Clock::Now() + NullDeviceDelay, std::memory_order_release);
    if (!_nullThread.Start([this] { RunNull(); }))
        return MmNoMemory;
    _nullActive = true;
    return MmNoError;
}

void AudioOutput::StopNull()
{
    _nullStop.store(true, std::memory_order_release);
    _nullThread.Join();
    _nullActive = false;
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
        const std::int64_t heard = heardStart + offset;
        SleepUntil(heard - NullDeviceDelay);
        _mixer.Render(buffer.data(), BufferFrames, heard);
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
