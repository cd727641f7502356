#include "Platform/PipeWireOutput.h"

#include <pipewire/pipewire.h>
#include <pthread.h>
#include <sched.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "Platform/Clock.h"
#include "Platform/Mixer.h"
#include "Platform/MultimediaResult.h"
#include "Platform/ServerStreams.h"

// The library's calls on its objects are GNU statement expressions.
#pragma GCC diagnostic ignored "-Wpedantic"

namespace Platform {

namespace {

constexpr int FrameBytes = Mixer::Channels * static_cast<int>(sizeof(float));
// A sound handed over for a frame must be in the mixer's queue before the cycle that renders it:
// a cycle, and a margin for the thread that hands it over waking late.
constexpr std::int64_t WakeMargin = 3'000'000;
// As the libpulse output's thread: real time, just above the timer's thread.
constexpr int AudioPriority = 2;

std::once_flag initialised;

// The node's wish for its cycles, `frames` at `rate`, as the server reads it.
std::string Latency(int frames, double rate)
{
    return std::to_string(frames) + "/" + std::to_string(static_cast<int>(rate));
}

// A hook is removed once, and only if it was added.
void Remove(spa_hook& hook) noexcept
{
    if (hook.link.next) {
        spa_hook_remove(&hook);
        hook = spa_hook{};
    }
}

}  // namespace

struct PipeWireOutput::Listeners {
    spa_hook core{};
    spa_hook registry{};
    spa_hook stream{};
    pw_core_events coreEvents{};
    pw_registry_events registryEvents{};
    pw_stream_events streamEvents{};
};

PipeWireOutput::PipeWireOutput() : _listeners(std::make_unique<Listeners>())
{
    auto& l = *_listeners;
    l.coreEvents.version = PW_VERSION_CORE_EVENTS;
    l.coreEvents.info = [](void* self, const pw_core_info* info) {
        auto& output = *static_cast<PipeWireOutput*>(self);
        if (const char* rate = info && info->props ? spa_dict_lookup(info->props, "default.clock.rate") : nullptr)
            output._graphRate = std::atof(rate);
    };
    l.coreEvents.done = [](void* self, std::uint32_t id, int seq) {
        auto& output = *static_cast<PipeWireOutput*>(self);
        if (id == PW_ID_CORE)
            output._synced = seq;
    };
    l.coreEvents.error = [](void* self, std::uint32_t id, int, int result, const char*) {
        // The connection broke (the server went away), or the server gave up on the stream.
        if (id == PW_ID_CORE || result == -EPIPE)
            static_cast<PipeWireOutput*>(self)->_failed.store(true, std::memory_order_release);
    };
    l.registryEvents.version = PW_VERSION_REGISTRY_EVENTS;
    l.registryEvents.global = [](void* self, std::uint32_t, std::uint32_t, const char* type, std::uint32_t,
                                 const spa_dict* props) {
        if (!type || std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0 || !props)
            return;
        const char* mediaClass = spa_dict_lookup(props, PW_KEY_MEDIA_CLASS);
        if (mediaClass && (std::strcmp(mediaClass, "Audio/Sink") == 0 || std::strcmp(mediaClass, "Audio/Duplex") == 0))
            ++static_cast<PipeWireOutput*>(self)->_sinks;
    };
    l.streamEvents.version = PW_VERSION_STREAM_EVENTS;
    l.streamEvents.state_changed = [](void* self, pw_stream_state, pw_stream_state state, const char*) {
        if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
            static_cast<PipeWireOutput*>(self)->_failed.store(true, std::memory_order_release);
    };
    l.streamEvents.process = [](void* self) { static_cast<PipeWireOutput*>(self)->Process(); };
}

PipeWireOutput::~PipeWireOutput()
{
    Stop();
}

template <typename Done>
bool PipeWireOutput::WaitFor(Done done, std::chrono::nanoseconds timeout)
{
    return ServerStreams::WaitUnlocked(
        done, timeout, _failed, [this] { pw_thread_loop_unlock(_loop); }, [this] { pw_thread_loop_lock(_loop); });
}

// Connects to the server and learns, in one round trip, its graph's rate and whether it has a
// sink at all. With the loop locked.
bool PipeWireOutput::Connect()
{
    pw_properties* properties = pw_properties_new(PW_KEY_APP_NAME, ClientName, nullptr);
    _core = pw_context_connect(_context, properties, 0);
    if (!_core)
        return false;
    _sinks = 0;
    _graphRate = 0;
    _synced = -1;
    pw_core_add_listener(_core, &_listeners->core, &_listeners->coreEvents, this);
    _registry = pw_core_get_registry(_core, PW_VERSION_REGISTRY, 0);
    if (!_registry)
        return false;
    pw_registry_add_listener(_registry, &_listeners->registry, &_listeners->registryEvents, this);
    _syncSeq = pw_core_sync(_core, PW_ID_CORE, 0);
    return WaitFor([this] { return _synced == _syncSeq; }, ConnectTimeout) && _sinks > 0;
}

// Makes the stream, inactive, and waits until the server has it (its sink is found when it first
// plays). With the loop locked.
bool PipeWireOutput::OpenStream()
{
    // The rate the graph last ran at (a server told to run at another than its default), else
    // its default.
    const double ran = _ranAt.load(std::memory_order_acquire);
    const double graphRate = ran > 0 ? ran : _graphRate > 0 ? _graphRate : 48000;
    _rate = ServerStreams::PlayedRate(graphRate);
    const std::string latency = Latency(StartQuantum, _rate);
    const std::string rate = "1/" + std::to_string(static_cast<int>(_rate));
    // The node asks for its rate too: a server allowed to run at more than one keeps to it.
    pw_properties* properties =
        pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Music",
                          PW_KEY_NODE_LATENCY, latency.c_str(), PW_KEY_NODE_RATE, rate.c_str(), nullptr);
    _stream = pw_stream_new(_core, "Metronome", properties);
    if (!_stream)
        return false;
    pw_stream_add_listener(_stream, &_listeners->stream, &_listeners->streamEvents, this);

    std::uint8_t buffer[1024];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, buffer, sizeof buffer);
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = static_cast<std::uint32_t>(_rate);
    info.channels = Mixer::Channels;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_INACTIVE |
                                                    PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    if (pw_stream_connect(_stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) < 0)
        return false;
    return WaitFor([this] { return pw_stream_get_state(_stream, nullptr) == PW_STREAM_STATE_PAUSED; }, StreamTimeout);
}

std::uint32_t PipeWireOutput::Open(IAudioClient& client)
{
    Stop();
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });
    _failed.store(false, std::memory_order_release);
    _client = &client;
    _loop = pw_thread_loop_new("ticova-pipewire", nullptr);
    if (!_loop)
        return MmNoDriver;
    _context = pw_context_new(pw_thread_loop_get_loop(_loop), nullptr, 0);
    if (!_context || pw_thread_loop_start(_loop) < 0) {
        Stop();
        return MmNoDriver;
    }
    // The graph's cycles run on the context's data thread: in the real-time class where the
    // system allows.
    if (pw_data_loop* data = pw_context_get_data_loop(_context)) {
        if (spa_thread* thread = pw_data_loop_get_thread(data)) {
            sched_param parameters{};
            parameters.sched_priority = AudioPriority;
            pthread_setschedparam(reinterpret_cast<pthread_t>(thread), SCHED_FIFO, &parameters);
        }
    }
    pw_thread_loop_lock(_loop);
    const bool connected = Connect();
    const bool open = connected && OpenStream();
    if (open)
        _phaseTimer = pw_loop_add_timer(pw_thread_loop_get_loop(_loop), &PipeWireOutput::PhaseEnded, this);
    pw_thread_loop_unlock(_loop);
    std::uint32_t result = connected ? MmNotEnabled : MmNoDriver;
    if (open && _phaseTimer)
        result = Resume(true);
    if (result != MmNoError)
        Stop();
    return result;
}

std::uint32_t PipeWireOutput::StartHeld(IAudioClient& client)
{
    return Open(client);
}

std::uint32_t PipeWireOutput::Start(IAudioClient& client)
{
    if (const std::uint32_t result = Open(client); result != MmNoError)
        return result;
    Play();
    // A sink that slept (a device opened again) may take a while to run its first cycle: that
    // wait is taken here, before the first click is handed over.
    pw_thread_loop_lock(_loop);
    const bool running = WaitFor([this] { return Cycles() > 0; }, StallTimeout);
    pw_thread_loop_unlock(_loop);
    if (!running) {
        Stop();
        return MmNotEnabled;
    }
    return MmNoError;
}

void PipeWireOutput::AskQuantum(int frames) noexcept
{
    const std::string latency = Latency(frames, _rate);
    spa_dict_item item{PW_KEY_NODE_LATENCY, latency.c_str()};
    spa_dict properties{0, 1, &item};
    pw_stream_update_properties(_stream, &properties);
}

// On the loop's thread: a run that has played for StartPhase first hands its sounds over a long
// cycle ahead, and a moment later, once the lead has reached the timer's thread, asks for the
// long cycles.
void PipeWireOutput::PhaseEnded(void* self, std::uint64_t) noexcept
{
    auto& output = *static_cast<PipeWireOutput*>(self);
    timespec off{};
    if (output._phase == 0) {
        output._phase = 1;
        output._runLead.store(true, std::memory_order_release);
        timespec next{0, static_cast<long>(LeadBeforeQuantum.count())};
        pw_loop_update_timer(pw_thread_loop_get_loop(output._loop), output._phaseTimer, &next, &off, false);
    } else if (output._phase == 1) {
        output._phase = 2;
        output.AskQuantum(RunQuantum);
    }
}

void PipeWireOutput::StopRendering() noexcept
{
    _rendering.store(false, std::memory_order_seq_cst);
    while (_inCycle.load(std::memory_order_seq_cst))
        Clock::SleepFor(std::chrono::microseconds(100));
}

bool PipeWireOutput::Pause() noexcept
{
    if (!_stream || !Alive())
        return false;
    _held.store(false, std::memory_order_release);
    StopRendering();
    pw_thread_loop_lock(_loop);
    SetActive(false);
    pw_thread_loop_unlock(_loop);
    return true;
}

// With the loop locked: the node waits, inactive, to start again with short cycles.
void PipeWireOutput::SetActive(bool active) noexcept
{
    timespec off{};
    pw_loop_update_timer(pw_thread_loop_get_loop(_loop), _phaseTimer, &off, &off, false);
    if (_phase != 0)
        AskQuantum(StartQuantum);
    _phase = 0;
    _runLead.store(false, std::memory_order_release);
    if (active) {
        const auto start = std::chrono::duration_cast<std::chrono::seconds>(StartPhase);
        timespec phase{static_cast<time_t>(start.count()), static_cast<long>((StartPhase - start).count())};
        pw_loop_update_timer(pw_thread_loop_get_loop(_loop), _phaseTimer, &phase, &off, false);
    }
    if (pw_stream_set_active(_stream, active) < 0)
        _failed.store(true, std::memory_order_release);  // the watch closes it; the next start opens afresh
}

// A new run from the mixer's frame 0 on an inactive stream. Held, the stream stays inactive until
// Play, so that the first sound is handed over before a frame is rendered.
std::uint32_t PipeWireOutput::Resume(bool held)
{
    if (!_stream || !_client || !Alive())
        return MmNotEnabled;
    // The graph ran at another rate than the stream's, which was resampled: the next run opens
    // anew at the graph's.
    if (const double ran = _ranAt.load(std::memory_order_acquire); ran > 0 && ServerStreams::PlayedRate(ran) != _rate)
        return MmNotEnabled;
    StopRendering();
    _client->Prepare(_rate);
    _frames = 0;
    _cycles.store(0, std::memory_order_release);
    _held.store(held, std::memory_order_release);
    if (!held)
        Play();
    return Alive() ? MmNoError : MmNotEnabled;
}

void PipeWireOutput::Play() noexcept
{
    if (!_stream)
        return;
    _held.store(false, std::memory_order_release);
    _rendering.store(true, std::memory_order_seq_cst);
    pw_thread_loop_lock(_loop);
    SetActive(true);
    pw_thread_loop_unlock(_loop);
}

// One cycle of the graph, on its real-time thread: the mixer renders straight into the buffer the
// server shares. The cycle's time says when its driver started it (when the buffer's first
// frame is taken) and how far, in the graph's frames, the device is behind. No allocation, no
// lock, no system call.
void PipeWireOutput::Process() noexcept
{
    _inCycle.store(true, std::memory_order_seq_cst);
    pw_buffer* buffer = pw_stream_dequeue_buffer(_stream);
    if (!buffer) {
        _inCycle.store(false, std::memory_order_release);
        return;
    }
    spa_data& data = buffer->buffer->datas[0];
    const auto capacity = static_cast<std::uint32_t>(data.maxsize / FrameBytes);
    std::uint32_t frames = buffer->requested ? static_cast<std::uint32_t>(buffer->requested) : StartQuantum;
    frames = std::min(frames, capacity);
    auto* samples = static_cast<float*>(data.data);
    if (samples && frames > 0 && _rendering.load(std::memory_order_seq_cst)) {
        pw_time time{};
        pw_stream_get_time_n(_stream, &time, sizeof time);
        const double graphRate = time.rate.denom > 0 ? static_cast<double>(time.rate.denom) / time.rate.num : _rate;
        if (graphRate != _rate)
            _ranAt.store(graphRate, std::memory_order_release);
        BufferTiming timing;
        timing.callbackTime = time.now > 0 ? time.now : Clock::Now();
        const std::uint32_t ahead =
            _runLead.load(std::memory_order_acquire) ? std::max<std::uint32_t>(frames, RunQuantum) : frames;
        timing.leadNs = static_cast<std::int64_t>(ahead * 1e9 / _rate) + WakeMargin;
        ClockMapping::State mapping;
        mapping.origin = timing.callbackTime;
        mapping.baseFrame = _frames;
        mapping.framePeriod = 1e9 / _rate;
        timing.mapping = &mapping;
        timing.aheadNs = static_cast<double>(time.delay + static_cast<std::int64_t>(time.buffered)) * 1e9 / graphRate;
        _client->OnBuffer(samples, static_cast<int>(frames), timing);
        _frames += frames;
        _cycles.fetch_add(1, std::memory_order_release);
    } else if (samples) {
        std::memset(samples, 0, static_cast<std::size_t>(frames) * FrameBytes);
    }
    data.chunk->offset = 0;
    data.chunk->stride = FrameBytes;
    data.chunk->size = frames * FrameBytes;
    pw_stream_queue_buffer(_stream, buffer);
    _inCycle.store(false, std::memory_order_release);
}

void PipeWireOutput::Stop() noexcept
{
    if (!_loop)
        return;
    _rendering.store(false, std::memory_order_seq_cst);
    pw_thread_loop_lock(_loop);
    if (_phaseTimer) {
        pw_loop_destroy_source(pw_thread_loop_get_loop(_loop), _phaseTimer);
        _phaseTimer = nullptr;
    }
    _phase = 0;
    if (_stream) {
        Remove(_listeners->stream);
        pw_stream_destroy(_stream);
        _stream = nullptr;
    }
    if (_registry) {
        Remove(_listeners->registry);
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(_registry));
        _registry = nullptr;
    }
    if (_core) {
        Remove(_listeners->core);
        pw_core_disconnect(_core);
        _core = nullptr;
    }
    pw_thread_loop_unlock(_loop);
    pw_thread_loop_stop(_loop);
    if (_context) {
        pw_context_destroy(_context);
        _context = nullptr;
    }
    pw_thread_loop_destroy(_loop);
    _loop = nullptr;
    _held.store(false, std::memory_order_release);
}

}  // namespace Platform
