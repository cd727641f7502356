#include "Platform/PulseOutput.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "Platform/Clock.h"
#include "Platform/Mixer.h"
#include "Platform/MultimediaResult.h"
#include "Platform/PulseMainLoop.h"
#include "Platform/ServerStreams.h"

namespace Platform {

namespace {

constexpr int FrameBytes = Mixer::Channels * static_cast<int>(sizeof(float));
// A sound handed over for a frame must be in the mixer's queue before the request that renders
// that frame: the requests' pace, and a margin for the thread that hands it over waking late.
constexpr std::int64_t WakeMargin = 3'000'000;
// Pauses between requests longer than this are stalls (the server was busy), not the pace.
constexpr std::int64_t LongestPlannedRequest = 50'000'000;
// The main loop's thread renders every frame: in the real-time class (where the system allows)
// just above the timer's thread, which may spin on the other processor, and below the sound
// server's own.
constexpr int AudioPriority = 2;
// How long a new stream's start waits for the server to play it.
constexpr std::chrono::nanoseconds StallTimeout = std::chrono::seconds(3);
// How long a start waits for the rest of its first buffer to be asked for.
constexpr std::chrono::nanoseconds FillTimeout = std::chrono::milliseconds(30);
// The most of a stream's start taken as not played (see Resume).
constexpr std::int64_t LongestStartUnheard = 20'000'000;

// A buffer of `latency` ns topped up in requests of `request` ns; no start level: a frame written
// late is dropped where it would have been heard instead of holding up every frame after it, so
// the frames stay on the server's time line even after an underflow.
pa_buffer_attr Attributes(const pa_sample_spec& spec, std::int64_t latency, std::int64_t request) noexcept
{
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(latency / 1000), &spec));
    attributes.prebuf = 0;
    attributes.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(request / 1000), &spec));
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    return attributes;
}

void Unref(pa_operation* operation) noexcept
{
    if (operation)
        pa_operation_unref(operation);
}

std::int64_t Nanoseconds(pa_usec_t usec)
{
    return static_cast<std::int64_t>(usec) * 1000;
}

void RaiseMainLoop(pa_threaded_mainloop*, void*) noexcept
{
    sched_param parameters{};
    parameters.sched_priority = AudioPriority;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}

// What a question to the server brought back, filled on the main loop's thread.
struct SinkQuery {
    std::string defaultSink;
    std::uint32_t serverRate = 0;
    std::uint32_t sinkRate = 0;
    bool pipeWire = false;
    bool done = false;
};

}  // namespace

template <typename Done>
bool PulseOutput::WaitFor(Done done, std::chrono::nanoseconds timeout)
{
    return PulseMainLoop::WaitFor(_mainloop, done, timeout, _failed);
}

void PulseOutput::ContextState(pa_context* context, void* self) noexcept
{
    auto& output = *static_cast<PulseOutput*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
        output._failed.store(true, std::memory_order_release);
}

void PulseOutput::StreamState(pa_stream* stream, void* self) noexcept
{
    auto& output = *static_cast<PulseOutput*>(self);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
        output._failed.store(true, std::memory_order_release);
}

void PulseOutput::Underflow(pa_stream*, void* self) noexcept
{
    static_cast<PulseOutput*>(self)->_underflow.store(true, std::memory_order_relaxed);
}

void PulseOutput::TimingUpdated(pa_stream*, int success, void* self) noexcept
{
    if (success)
        static_cast<PulseOutput*>(self)->_timingUpdated.store(true, std::memory_order_release);
}

void PulseOutput::WriteRequest(pa_stream*, std::size_t bytes, void* self) noexcept
{
    static_cast<PulseOutput*>(self)->Write(bytes);
}

bool PulseOutput::Connect()
{
    _failed.store(false, std::memory_order_release);
    return PulseMainLoop::Connect(_mainloop, _context, "ticova-audio", ClientName, &PulseOutput::ContextState, this,
                                  _failed, ConnectTimeout, &RaiseMainLoop);
}

// The default sink's rate (the server's default rate when the sink says none); with the main
// loop locked.
double PulseOutput::SinkRate()
{
    SinkQuery query;
    Unref(pa_context_get_server_info(
        _context,
        [](pa_context*, const pa_server_info* info, void* data) {
            auto& q = *static_cast<SinkQuery*>(data);
            if (info) {
                q.serverRate = info->sample_spec.rate;
                q.defaultSink = info->default_sink_name ? info->default_sink_name : "";
                q.pipeWire = info->server_name && std::strstr(info->server_name, "PipeWire");
            }
            q.done = true;
        },
        &query));
    WaitFor([&query] { return query.done; }, StartTimeout);
    if (query.done && !query.defaultSink.empty()) {
        query.done = false;
        Unref(pa_context_get_sink_info_by_name(
            _context, query.defaultSink.c_str(),
            [](pa_context*, const pa_sink_info* info, int eol, void* data) {
                auto& q = *static_cast<SinkQuery*>(data);
                if (info)
                    q.sinkRate = info->sample_spec.rate;
                if (eol)
                    q.done = true;
            },
            &query));
        WaitFor([&query] { return query.done; }, StartTimeout);
    }
    _pipeWire = query.pipeWire;
    return ServerStreams::PlayedRate(query.sinkRate ? query.sinkRate : query.serverRate);
}

bool PulseOutput::OpenStream()
{
    _rate = SinkRate();
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(_rate), Mixer::Channels};
    _stream = pa_stream_new(_context, "Metronome", &spec, nullptr);
    if (!_stream)
        return false;
    pa_stream_set_state_callback(_stream, &PulseOutput::StreamState, this);
    pa_stream_set_write_callback(_stream, &PulseOutput::WriteRequest, this);
    pa_stream_set_underflow_callback(_stream, &PulseOutput::Underflow, this);
    const pa_buffer_attr attributes = Attributes(spec, _pipeWire ? PipeWireTargetLatency : TargetLatency,
                                                 _pipeWire ? PipeWireRequestSize : RequestSize);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY |
                                                      PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(_stream, nullptr, &attributes, flags, nullptr, nullptr) < 0)
        return false;
    return WaitFor([this] { return pa_stream_get_state(_stream) == PA_STREAM_READY; }, StartTimeout);
}

std::uint32_t PulseOutput::Start(IAudioClient& client)
{
    Stop();
    if (!Connect()) {
        Stop();
        return MmNoDriver;
    }
    pa_threaded_mainloop_lock(_mainloop);
    _paused.store(true, std::memory_order_release);
    const bool open = OpenStream();
    pa_threaded_mainloop_unlock(_mainloop);
    if (!open) {
        Stop();
        return MmNotEnabled;
    }
    _client = &client;
    const std::uint32_t result = Resume(false);
    if (result != MmNoError) {
        Stop();
        return result;
    }
    // A new stream on a sink that slept (a null sink sleeps in blocks of seconds) may wait a
    // while before it is played: that wait is taken here, before the first click is handed over.
    // The report the start asked for says whether the sink reads the stream already; if not, the
    // server's next request says it does.
    pa_threaded_mainloop_lock(_mainloop);
    if (!ReadSinceStart()) {
        const int requests = _requests.load(std::memory_order_acquire);
        WaitFor([this, requests] { return _requests.load(std::memory_order_acquire) > requests; }, StallTimeout);
    }
    pa_threaded_mainloop_unlock(_mainloop);
    return MmNoError;
}

bool PulseOutput::Pause() noexcept
{
    if (!_stream || !Alive())
        return false;
    pa_threaded_mainloop_lock(_mainloop);
    // From here on the server's requests are left unanswered, and the mixer is the output's again.
    _paused.store(true, std::memory_order_release);
    _held.store(false, std::memory_order_release);
    // The stream keeps its short buffer: a sink that had to change to a short latency again
    // would hold up the next start (a null sink for as long as the long block it sleeps in).
    // A desktop's server suspends a sink whose streams are all corked. What the stream still
    // holds is dropped, and the server asks for a whole buffer again: the next start answers
    // that request from its own frame 0 on, while the stream is still corked.
    Unref(pa_stream_cork(_stream, 1, nullptr, nullptr));
    Unref(pa_stream_flush(_stream, nullptr, nullptr));
    pa_threaded_mainloop_unlock(_mainloop);
    return true;
}

// Starts a corked stream again as a new run from the mixer's frame 0. Held, it stays corked
// until Play, so that the first sound can be handed over before any frame is rendered.
std::uint32_t PulseOutput::Resume(bool held)
{
    if (!_stream || !_client || !Alive())
        return MmNotEnabled;
    pa_threaded_mainloop_lock(_mainloop);
    _client->Prepare(_rate);
    const pa_buffer_attr* attributes = pa_stream_get_buffer_attr(_stream);
    const auto tlength = static_cast<std::int64_t>(attributes ? attributes->tlength : 0);
    _requestNs = attributes ? static_cast<std::int64_t>(attributes->minreq / FrameBytes * 1e9 / _rate) : RequestSize;
    _heardDelay = static_cast<double>(tlength / FrameBytes) * 1e9 / _rate;
    // PulseAudio plays an uncorked stream at once: its sink takes back what it had mixed ahead
    // and mixes again with the stream in. What it cannot take back of its latency is lost from
    // the stream's start, up to the whole (found in the monitor's capture: of a sink at 17 ms,
    // 6 ms lost). PipeWire's pulse server starts a stream at its next quantum, whole. (A stream
    // that has not played yet has no report: its sink's latency is what the server gives it,
    // half of what the buffer leaves beside two requests.)
    const pa_timing_info* timing = pa_stream_get_timing_info(_stream);
    const std::int64_t sinkLatency = timing && timing->configured_sink_usec > 0
        ? Nanoseconds(timing->configured_sink_usec)
        : std::max<std::int64_t>(static_cast<std::int64_t>(_heardDelay / 2) - _requestNs, 0);
    // A sink of a long latency (a wireless one) takes back little or nothing, and plays the
    // stream after what it had mixed: there a later first sound would only keep it waiting.
    _startUnheard = _pipeWire ? 0 : std::min(sinkLatency, LongestStartUnheard);
    _frames = 0;
    _lastRequest = 0;
    _requests.store(0, std::memory_order_release);
    _underflow.store(false, std::memory_order_relaxed);
    _timingUpdated.store(false, std::memory_order_release);
    ForgetReports();
    _held.store(true, std::memory_order_release);
    _paused.store(false, std::memory_order_release);
    const bool started = held || Uncork();
    pa_threaded_mainloop_unlock(_mainloop);
    return started ? MmNoError : MmNotEnabled;
}

void PulseOutput::Play() noexcept
{
    if (!_stream || !Held())
        return;
    pa_threaded_mainloop_lock(_mainloop);
    if (Held() && !Uncork())
        _failed.store(true, std::memory_order_release);  // the watch closes it; the next start opens afresh
    pa_threaded_mainloop_unlock(_mainloop);
}

// The stream's first buffer (the server asked for it when the stream was corked) is rendered
// from the mixer's frame 0 on, so that it carries whatever was handed over for it, and only then
// does the stream play: no frame is missing at the start. Its timing, asked for once it plays,
// says when those frames are heard.
bool PulseOutput::Uncork()
{
    const pa_buffer_attr* attributes = pa_stream_get_buffer_attr(_stream);
    const std::size_t full = attributes ? attributes->tlength : 1;
    bool started = WaitFor([this, full] { return pa_stream_writable_size(_stream) >= full; }, FillTimeout) ||
        pa_stream_writable_size(_stream) > 0;
    _held.store(false, std::memory_order_release);
    if (started) {
        const std::size_t writable = pa_stream_writable_size(_stream);
        if (writable != static_cast<std::size_t>(-1))
            Write(writable);
        Unref(pa_stream_cork(_stream, 0, nullptr, nullptr));
        Unref(pa_stream_update_timing_info(_stream, &PulseOutput::TimingUpdated, this));
        started = WaitFor([this] { return _timingUpdated.load(std::memory_order_acquire); }, StartTimeout);
        _lastAsk = Clock::Now();
    }
    if (started) {
        // The frames written so far are heard from now on: tell the output so before the next
        // sound is handed over.
        BufferTiming timing;
        timing.callbackTime = Clock::Now();
        if (double delay = 0; HeardIn(timing.callbackTime, delay)) {
            ClockMapping::State mapping;
            const double heard = static_cast<double>(timing.callbackTime) + delay;
            mapping.origin = static_cast<std::int64_t>(heard - _heardDelay);
            mapping.baseFrame = _frames;
            mapping.framePeriod = 1e9 / _rate;
            timing.mapping = &mapping;
            timing.aheadNs = _heardDelay;
            timing.leadNs = _requestNs + WakeMargin;
            _client->OnBuffer(nullptr, 0, timing);
        }
    } else {
        _paused.store(true, std::memory_order_release);
        Unref(pa_stream_cork(_stream, 1, nullptr, nullptr));
    }
    return started;
}

// How long from `now` until the next frame written is heard, as the server tells it. Each of its
// timing reports says which frame it was playing (the read index) and how long the sink takes
// to sound it; the frame written next (the write index) is heard the frames between later. That
// holds to a twentieth of a millisecond, where the latency libpulse interpolates between reports
// slews by up to a millisecond over a run's first seconds. Now and then a report is off by up to
// a block (its read index and sink delay taken at different moments): see TimingReports. Until two
// reports agree, the interpolated latency. PipeWire's pulse server reports the read index a whole
// quantum at a time with no sink delay beside it, so that a report made late in a quantum places
// frame 0 up to a quantum (3-5 ms) too late, and libpulse's interpolation between reports
// wandered by as much from one beat to the next. There the output asks for a report itself, at
// most every AskTimingEvery, each time as it answers a request: the server asks for more when
// its graph has just taken a quantum, so the report is made at the start of the next, where it
// lies nearest the truth. A low one of the last seconds' is taken (see QuantumReports).
//
// A sink with a latency of its own beside the stream's buffer (a JACK sink's period, PipeWire's
// quantum) asks for frames earlier than the buffer alone would: the delay from rendering a frame
// to hearing it is the longest the server has shown this run, never less than the buffer. Only
// the frames' render times move with it, so a sound is handed over before its frame is asked
// for; the times they are heard at stay as the server tells them.
bool PulseOutput::HeardIn(std::int64_t now, double& delay) noexcept
{
    const double framePeriod = 1e9 / _rate;
    const pa_timing_info* timing = pa_stream_get_timing_info(_stream);
    if (timing && !timing->read_index_corrupt && !timing->write_index_corrupt) {
        // Where the stream's own count places the frames written: the library moves it when the
        // server says the stream skipped or repeated (a buffer that ran dry), which the reports
        // before do not know of.
        const std::int64_t written = timing->write_index / FrameBytes;
        if (written - _frames != _skipped) {
            _skipped = written - _frames;
            _reports.Forget();
            _quantumReports.Forget();
        }
        // A new report is placed on our clock once, not at every request.
        const std::int64_t stamp = static_cast<std::int64_t>(pa_timeval_load(&timing->timestamp));
        if (const std::int64_t reportedAt =
                stamp != _lastReport && timing->playing ? PulseMainLoop::ReportedAt(*timing, now) : 0;
            reportedAt != 0) {
            _lastReport = stamp;
            const double zeroHeard = static_cast<double>(reportedAt) + static_cast<double>(timing->sink_usec) * 1e3 -
                static_cast<double>(timing->read_index / FrameBytes) * framePeriod;
            if (_pipeWire)
                _quantumReports.Take(zeroHeard, reportedAt);
            else
                _reports.Take(zeroHeard, reportedAt);
        }
        if (_pipeWire ? _quantumReports.Known() : _reports.Known()) {
            delay = (_pipeWire ? _quantumReports.ZeroHeard() : _reports.ZeroHeard()) +
                static_cast<double>(written) * framePeriod - static_cast<double>(now);
            _heardDelay = std::max(_heardDelay, delay);
            return true;
        }
    }
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(_stream, &latency, &negative) != 0)
        return false;
    delay = static_cast<double>(negative ? -Nanoseconds(latency) : Nanoseconds(latency));
    _heardDelay = std::max(_heardDelay, delay);
    return true;
}

// Whether the newest report shows the sink playing this run's frames: its read index past the
// run's first frame.
bool PulseOutput::ReadSinceStart() const noexcept
{
    const pa_timing_info* timing = pa_stream_get_timing_info(_stream);
    if (!timing || !timing->playing || timing->read_index_corrupt || timing->write_index_corrupt)
        return false;
    const std::int64_t runStart = timing->write_index - _frames * FrameBytes;
    return timing->read_index > runStart;
}

// Reports from before are of another run of the stream; the one the server holds now is left
// out too.
void PulseOutput::ForgetReports() noexcept
{
    _reports.Forget();
    _quantumReports.Forget();
    _skipped = 0;
    const pa_timing_info* timing = _stream ? pa_stream_get_timing_info(_stream) : nullptr;
    _lastReport = timing ? static_cast<std::int64_t>(pa_timeval_load(&timing->timestamp)) : 0;
}

// The server asks for `bytes` more. Rendered by the mixer straight into the server's memory;
// no allocation of ours, no lock but the main loop's own (which the other threads hold only to
// cork and uncork), no blocking call.
void PulseOutput::Write(std::size_t bytes) noexcept
{
    // A corked stream's request waits for the next start, which answers it from its frame 0 on.
    if (_paused.load(std::memory_order_acquire) || Held())
        return;
    // What the server still asks for (a request already answered in full asks for nothing more).
    if (const std::size_t writable = pa_stream_writable_size(_stream); writable != static_cast<std::size_t>(-1))
        bytes = std::min(bytes, writable);
    if (bytes < static_cast<std::size_t>(FrameBytes))
        return;
    const std::int64_t now = Clock::Now();
    _requests.fetch_add(1, std::memory_order_acq_rel);
    // The pace of the requests, once the first full buffer is written.
    if (_lastRequest != 0 && _frames * FrameBytes >= static_cast<std::int64_t>(bytes)) {
        const std::int64_t gap = now - _lastRequest;
        if (gap > _requestNs && gap <= LongestPlannedRequest)
            _requestNs = gap;
    }
    _lastRequest = now;
    BufferTiming timing;
    timing.callbackTime = now;
    timing.underflow = _underflow.exchange(false, std::memory_order_relaxed);
    timing.leadNs = _requestNs + WakeMargin;
    // Until the server plays and has told its timing (the first buffer, written while the
    // stream is still corked), the frames are taken as heard one buffer on.
    double delay = _heardDelay;
    if (_timingUpdated.load(std::memory_order_acquire)) {
        // On PipeWire a report asked for now, as the graph's cycle has just moved the read
        // index, is made early in the quantum (see HeardIn).
        if (_pipeWire && now - _lastAsk >= AskTimingEvery.count()) {
            _lastAsk = now;
            Unref(pa_stream_update_timing_info(_stream, nullptr, nullptr));
        }
        HeardIn(now, delay);
    }
    const double heard = static_cast<double>(now) + delay;
    timing.aheadNs = _heardDelay;
    ClockMapping::State mapping;
    mapping.framePeriod = 1e9 / _rate;
    mapping.origin = static_cast<std::int64_t>(heard - _heardDelay);
    mapping.baseFrame = _frames;
    timing.mapping = &mapping;
    while (bytes >= static_cast<std::size_t>(FrameBytes)) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(_stream, &data, &size) < 0 || !data)
            return;
        if (size < static_cast<std::size_t>(FrameBytes)) {
            pa_stream_cancel_write(_stream);
            return;
        }
        const auto frames = static_cast<int>(size / FrameBytes);
        size = static_cast<std::size_t>(frames) * FrameBytes;
        mapping.origin +=
            static_cast<std::int64_t>(static_cast<double>(_frames - mapping.baseFrame) * mapping.framePeriod);
        mapping.baseFrame = _frames;
        _client->OnBuffer(static_cast<float*>(data), frames, timing);
        timing.underflow = false;
        _frames += frames;
        if (pa_stream_write(_stream, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        bytes -= size;
    }
}

void PulseOutput::Stop() noexcept
{
    if (!_mainloop)
        return;
    PulseMainLoop::Close(_mainloop, _context, [this] {
        if (_stream) {
            pa_stream_set_state_callback(_stream, nullptr, nullptr);
            pa_stream_set_write_callback(_stream, nullptr, nullptr);
            pa_stream_set_underflow_callback(_stream, nullptr, nullptr);
            pa_stream_disconnect(_stream);
            pa_stream_unref(_stream);
            _stream = nullptr;
        }
    });
    _paused.store(true, std::memory_order_release);
}

}  // namespace Platform
