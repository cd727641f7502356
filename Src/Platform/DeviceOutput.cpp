#include "Platform/DeviceOutput.h"

#include <pa_linux_alsa.h>
#include <portaudio.h>

#include <algorithm>

#include "Platform/Clock.h"
#include "Platform/Mixer.h"
#include "Platform/MultimediaResult.h"

namespace Platform {

namespace {

// A stream's first callbacks come in a burst while it fills the device's buffer; pauses between
// them tell nothing of its steady pace. Through the sound server's ALSA plugin the stream then
// stalls for one to two seconds before the server starts taking its frames. Start returns once
// the frames rendered keep pace with the clock: after the first StartCallbacks callbacks, at
// least half a window's worth of frames rendered within the last StartWindow.
constexpr int StartCallbacks = 8;
constexpr std::int64_t StartWindow = 100'000'000;
constexpr std::int64_t StartTimeout = 4'000'000'000;

double StreamLatency(const PaDeviceInfo& info)
{
    return std::max(DeviceOutput::SuggestedLatency, info.defaultLowOutputLatency);
}

const char* HostApiName(const PaDeviceInfo& info)
{
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info.hostApi);
    return api && api->name ? api->name : "";
}

}  // namespace

DeviceOutput::~DeviceOutput()
{
    Stop();
    if (_initialised)
        Pa_Terminate();
}

int DeviceOutput::Callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* times,
                           unsigned long flags, void* self)
{
    auto& device = *static_cast<DeviceOutput*>(self);
    BufferTiming timing;
    timing.underflow = (flags & paOutputUnderflow) != 0;
    timing.callbackTime = Clock::Now();  // read through the vDSO: no system call
    double ahead = times->outputBufferDacTime - times->currentTime;
    if (!(ahead > 0 && ahead < 1.0))
        ahead = device._lastAhead;  // this device gives no time: keep the last
    if (ahead < 0)
        ahead = SuggestedLatency;
    device._lastAhead = ahead;
    timing.aheadNs = ahead * 1e9;
    device._client->OnBuffer(static_cast<float*>(output), static_cast<int>(frames), timing);
    device._frames.fetch_add(static_cast<std::int64_t>(frames), std::memory_order_relaxed);
    device._callbacks.fetch_add(1, std::memory_order_release);
    return paContinue;
}

bool DeviceOutput::Initialise()
{
    if (_initialised && _reinitialise && !_stream) {
        Pa_Terminate();
        _initialised = false;
    }
    if (!_initialised) {
        if (Pa_Initialize() != paNoError)
            return false;
        _initialised = true;
        _reinitialise = false;
    }
    return true;
}

std::vector<DeviceOutput::Entry> DeviceOutput::List()
{
    std::vector<Entry> entries;
    if (!Initialise())
        return entries;
    for (PaDeviceIndex index = 0; index < Pa_GetDeviceCount(); ++index) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (info && info->name && info->maxOutputChannels >= Mixer::Channels)
            entries.push_back({HostApiName(*info), info->name, StreamLatency(*info)});
    }
    return entries;
}

void DeviceOutput::Choose(std::string hostApi, std::string device)
{
    _hostApi = std::move(hostApi);
    _device = std::move(device);
}

int DeviceOutput::FindChosen() const
{
    for (PaDeviceIndex index = 0; index < Pa_GetDeviceCount(); ++index) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (info && info->name && info->maxOutputChannels >= Mixer::Channels && _device == info->name &&
            _hostApi == HostApiName(*info))
            return index;
    }
    return paNoDevice;
}

std::uint32_t DeviceOutput::Start(IAudioClient& client)
{
    // A sound system that lost its server, or that found none when it started, is started
    // again: it learns its devices only then.
    if (_initialised && _reinitialise) {
        Pa_Terminate();
        _initialised = false;
    }
    _reinitialise = false;
    const std::uint32_t result = Open(client);
    if (result != MmNoError)
        _reinitialise = true;
    return result;
}

std::uint32_t DeviceOutput::Open(IAudioClient& client)
{
    if (!Initialise())
        return MmNoDriver;
    // A chosen device that is gone (unplugged, its server not running) leaves the default.
    PaDeviceIndex device = _device.empty() ? paNoDevice : FindChosen();
    _missing = !_device.empty() && device == paNoDevice;
    if (device == paNoDevice)
        device = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
    if (!info)
        return MmNoDriver;

    PaStreamParameters parameters{};
    parameters.device = device;
    parameters.channelCount = Mixer::Channels;
    parameters.sampleFormat = paFloat32;
    parameters.suggestedLatency = StreamLatency(*info);
    double rate = PreferredRate;
    if (Pa_IsFormatSupported(nullptr, &parameters, rate) != paFormatIsSupported)
        rate = info->defaultSampleRate;

    _client = &client;
    _callbacks.store(0, std::memory_order_release);
    _frames.store(0, std::memory_order_release);
    _lastAhead = -1;
    PaStream* stream = nullptr;
    if (Pa_OpenStream(&stream, nullptr, &parameters, rate, BufferFrames, paNoFlag, &DeviceOutput::Callback, this) !=
        paNoError)
        return MmNoDriver;

    // Through ALSA the callback runs on PortAudio's own thread: give it real-time scheduling (where
    // the system allows) so that a busy machine does not make it miss its turn.
    if (const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi); api && api->type == paALSA)
        PaAlsa_EnableRealtimeScheduling(stream, 1);
    client.Prepare(rate);
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return MmNotEnabled;
    }
    _stream = stream;
    if (!WaitUntilSteady(rate)) {
        Stop();
        return MmNotEnabled;  // the stream started but never asked for sound at its pace
    }
    return MmNoError;
}

// Waits until the frames rendered and the clock run together; then a click can be placed.
bool DeviceOutput::WaitUntilSteady(double rate)
{
    const std::int64_t started = Clock::Now();
    const auto windowFrames = static_cast<std::int64_t>(static_cast<double>(StartWindow) * rate / 1e9);
    std::int64_t windowStart = 0, windowFrame = 0;  // a reading taken once the burst was over
    while (Clock::Now() - started < StartTimeout) {
        Clock::SleepUntil(Clock::Now() + 2'000'000);
        if (_callbacks.load(std::memory_order_acquire) < StartCallbacks)
            continue;
        const std::int64_t now = Clock::Now(), frames = _frames.load(std::memory_order_relaxed);
        if (windowStart == 0) {
            windowStart = now;
            windowFrame = frames;
        } else if (now - windowStart >= StartWindow) {
            if (frames - windowFrame >= windowFrames / 2)
                return true;
            windowStart = now;
            windowFrame = frames;
        }
    }
    return false;
}

bool DeviceOutput::Alive() const noexcept
{
    return _stream && Pa_IsStreamActive(static_cast<PaStream*>(_stream)) == 1;
}

void DeviceOutput::Stop() noexcept
{
    if (!_stream)
        return;
    auto* stream = static_cast<PaStream*>(_stream);
    // Aborted, not drained: what is still queued is of no use, and a stream whose server went
    // away would never drain.
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
    _stream = nullptr;
}

}  // namespace Platform
