#include "Platform/JackOutput.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <string>

#include "Platform/Clock.h"
#include "Platform/Mixer.h"
#include "Platform/MultimediaResult.h"

namespace Platform {

namespace {

// Frames rendered in one go; a server cycle longer than this is rendered in parts.
constexpr std::uint32_t ChunkFrames = 4096;
// How long Start waits for the server's first cycles.
constexpr Clock::Duration StartTimeout = std::chrono::seconds(2);
constexpr int StartCycles = 2;
const char* const PortNames[2] = {"out_1", "out_2"};

}  // namespace

std::uint32_t JackOutput::Start(IAudioClient& client)
{
    jack_status_t status{};
    _client = jack_client_open(ClientName, JackNoStartServer, &status);
    if (!_client)
        return MmNoDriver;
    for (int channel = 0; channel < 2; ++channel)
        _ports[channel] = jack_port_register(_client, PortNames[channel], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    _midiPort = jack_port_register(_client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!_ports[0] || !_ports[1] || !_midiPort) {
        Stop();
        return MmNoDriver;
    }
    _rate = jack_get_sample_rate(_client);
    _interleaved.assign(ChunkFrames * Mixer::Channels, 0.0f);
    _audioClient = &client;
    _rendered = 0;
    _serverFrames = 0;
    _pendingCount = 0;
    MidiEvent stale;
    while (_midi.Pop(stale)) {}
    _cycles.store(0, std::memory_order_release);
    _xrun.store(false, std::memory_order_relaxed);
    // The server's times are microseconds of its own clock (the monotonic clock on Linux); the
    // offset keeps them right should it be another one.
    _clockOffset = Clock::Now() - static_cast<std::int64_t>(jack_get_time()) * 1000;
    client.Prepare(_rate);
    jack_set_process_callback(_client, &JackOutput::Process, this);
    jack_set_xrun_callback(_client, &JackOutput::Xrun, this);
    jack_on_shutdown(_client, &JackOutput::Shutdown, this);
    if (jack_activate(_client) != 0) {
        Stop();
        return MmNotEnabled;
    }
    _running.store(true, std::memory_order_release);
    ConnectToPlayback();
    const std::int64_t started = Clock::Now();
    while (_cycles.load(std::memory_order_acquire) < StartCycles && Clock::Now() - started < StartTimeout.count())
        Clock::SleepFor(std::chrono::milliseconds(2));
    if (_cycles.load(std::memory_order_acquire) < StartCycles) {
        Stop();
        return MmNotEnabled;
    }
    return MmNoError;
}

void JackOutput::ConnectToPlayback()
{
    const char** playback =
        jack_get_ports(_client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
    if (!playback)
        return;
    for (int channel = 0; channel < 2 && playback[channel]; ++channel)
        jack_connect(_client, jack_port_name(_ports[channel]), playback[channel]);
    jack_free(playback);
}

void JackOutput::Stop() noexcept
{
    if (!_client)
        return;
    _running.store(false, std::memory_order_release);
    jack_deactivate(_client);
    jack_client_close(_client);
    _client = nullptr;
    _ports[0] = _ports[1] = _midiPort = nullptr;
}

std::string JackOutput::PortName(int channel) const
{
    return _client && channel >= 0 && channel < 2 ? jack_port_name(_ports[channel]) : std::string();
}

std::string JackOutput::MidiPortName() const
{
    return _client ? jack_port_name(_midiPort) : std::string();
}

bool JackOutput::SendMidi(const std::uint8_t (&bytes)[3], OutputFrame frame) noexcept
{
    if (!Running())
        return false;
    // An event for "at once" names frame 0, long rendered: it goes out at the next cycle's start.
    MidiEvent event{frame.IsAtOnce() ? 0 : frame.Frame(), {bytes[0], bytes[1], bytes[2]}};
    return _midi.Push(event);
}

int JackOutput::Xrun(void* self) noexcept
{
    static_cast<JackOutput*>(self)->_xrun.store(true, std::memory_order_relaxed);
    return 0;
}

// The server went away: its cycles stop, and the output's watch closes the stream.
void JackOutput::Shutdown(void* self) noexcept
{
    static_cast<JackOutput*>(self)->_running.store(false, std::memory_order_release);
}

int JackOutput::Process(std::uint32_t frames, void* self) noexcept
{
    static_cast<JackOutput*>(self)->Render(frames);
    return 0;
}

// The server's cycle: the times it gives map this cycle's frames to the clock; the mixer renders
// into the ports, and the MIDI events due in this cycle are written on their frames. No
// allocation, no lock, no system call.
void JackOutput::Render(std::uint32_t frames) noexcept
{
    jack_nframes_t cycleFrame = 0;
    jack_time_t cycleStart = 0, nextStart = 0;
    float periodUs = 0;
    if (jack_get_cycle_times(_client, &cycleFrame, &cycleStart, &nextStart, &periodUs) != 0) {
        cycleFrame = jack_last_frame_time(_client);
        cycleStart = jack_get_time();
        nextStart = cycleStart + static_cast<jack_time_t>(frames * 1e6 / _rate);
    }
    if (_cycles.load(std::memory_order_relaxed) == 0) {
        _firstFrame.store(static_cast<std::int64_t>(cycleFrame), std::memory_order_release);
        _lastCycleFrame = cycleFrame;
    }
    // The server's frame time runs on through cycles it skipped: so do the output's frames (the
    // difference taken in 32 bits, as the server counts, so that its wrapping does not show).
    _serverFrames += static_cast<std::uint32_t>(cycleFrame - _lastCycleFrame);
    _lastCycleFrame = cycleFrame;
    while (_rendered < _serverFrames) {
        const auto count = static_cast<int>(std::min<std::int64_t>(_serverFrames - _rendered, ChunkFrames));
        _audioClient->Discard(_interleaved.data(), count);
        _rendered += count;
    }
    const std::int64_t bufferStart = _rendered;

    jack_latency_range_t latency{};
    jack_port_get_latency_range(_ports[0], JackPlaybackLatency, &latency);
    BufferTiming timing;
    timing.underflow = _xrun.exchange(false, std::memory_order_relaxed);
    // The server's playback latency of a port runs from the cycle that writes it to the speaker:
    // it holds the period (or two) the server buffers already.
    timing.aheadNs = static_cast<double>(latency.max) * 1e9 / _rate;
    ClockMapping::State mapping;
    mapping.framePeriod = static_cast<double>(nextStart - cycleStart) * 1000.0 / frames;
    auto* left = static_cast<float*>(jack_port_get_buffer(_ports[0], frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(_ports[1], frames));
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t count = std::min(frames - done, ChunkFrames);
        mapping.origin = static_cast<std::int64_t>(cycleStart) * 1000 + _clockOffset +
            static_cast<std::int64_t>(done * mapping.framePeriod);
        mapping.baseFrame = _rendered;
        timing.callbackTime = mapping.origin;
        timing.mapping = &mapping;
        _audioClient->OnBuffer(_interleaved.data(), static_cast<int>(count), timing);
        for (std::uint32_t i = 0; i < count; ++i) {
            left[done + i] = _interleaved[2 * i];
            right[done + i] = _interleaved[2 * i + 1];
        }
        timing.underflow = false;
        _rendered += count;
        done += count;
    }
    _serverFrames += frames;
    _lastCycleFrame += frames;
    WriteMidi(frames, bufferStart);
    _cycles.fetch_add(1, std::memory_order_release);
}

void JackOutput::WriteMidi(std::uint32_t frames, std::int64_t bufferStart) noexcept
{
    void* buffer = jack_port_get_buffer(_midiPort, frames);
    jack_midi_clear_buffer(buffer);
    // Events come in the order they were sent, not always of their frames (a note's end is sent
    // with its start): they wait here, in frame order, for their cycle.
    MidiEvent event;
    while (_pendingCount < MaxPendingMidi && _midi.Pop(event)) {
        int at = _pendingCount++;
        for (; at > 0 && _pending[at - 1].frame > event.frame; --at)
            _pending[at] = _pending[at - 1];
        _pending[at] = event;
    }
    const std::int64_t bufferEnd = bufferStart + frames;
    int written = 0;
    for (; written < _pendingCount && _pending[written].frame < bufferEnd; ++written) {
        const std::int64_t offset = std::max<std::int64_t>(0, _pending[written].frame - bufferStart);
        jack_midi_event_write(buffer, static_cast<jack_nframes_t>(offset), _pending[written].bytes, 3);
    }
    std::copy(_pending + written, _pending + _pendingCount, _pending);
    _pendingCount -= written;
}

}  // namespace Platform
