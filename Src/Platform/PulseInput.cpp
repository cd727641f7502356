#include "Platform/PulseInput.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>

#include "Platform/Clock.h"
#include "Platform/PulseMainLoop.h"

namespace Platform {

namespace {

// A short fragment: blocks reach the analysis within a few milliseconds.
constexpr std::int64_t FragmentNs = 5'000'000;

struct SourceQuery {
    std::string defaultSource;
    std::vector<PulseInput::Source> sources;
    int done = 0;
};

}  // namespace

PulseInput::PulseInput() : _queue(std::make_unique<LockFreeQueue<Block, QueueBlocks>>()) {}

void PulseInput::ContextState(pa_context* context, void* self) noexcept
{
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
        static_cast<PulseInput*>(self)->_failed.store(true, std::memory_order_release);
}

void PulseInput::StreamState(pa_stream* stream, void* self) noexcept
{
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
        static_cast<PulseInput*>(self)->_failed.store(true, std::memory_order_release);
}

bool PulseInput::Connect()
{
    _failed.store(false, std::memory_order_release);
    return PulseMainLoop::Connect(_mainloop, _context, "ticova-input", ClientName, &PulseInput::ContextState, this,
                                  _failed, ConnectTimeout);
}

std::vector<PulseInput::Source> PulseInput::Sources()
{
    PulseInput probe;
    SourceQuery query;
    if (probe.Connect()) {
        pa_threaded_mainloop_lock(probe._mainloop);
        if (pa_operation* op = pa_context_get_server_info(
                probe._context,
                [](pa_context*, const pa_server_info* info, void* data) {
                    auto& q = *static_cast<SourceQuery*>(data);
                    if (info && info->default_source_name)
                        q.defaultSource = info->default_source_name;
                    ++q.done;
                },
                &query))
            pa_operation_unref(op);
        if (pa_operation* op = pa_context_get_source_info_list(
                probe._context,
                [](pa_context*, const pa_source_info* info, int eol, void* data) {
                    auto& q = *static_cast<SourceQuery*>(data);
                    if (info)
                        q.sources.push_back({info->name ? info->name : "", info->description ? info->description : "",
                                             info->monitor_of_sink != PA_INVALID_INDEX});
                    if (eol)
                        ++q.done;
                },
                &query))
            pa_operation_unref(op);
        PulseMainLoop::WaitFor(
            probe._mainloop, [&query] { return query.done >= 2; }, ConnectTimeout, probe._failed);
        pa_threaded_mainloop_unlock(probe._mainloop);
    }
    probe.Stop();
    std::stable_partition(query.sources.begin(), query.sources.end(),
                          [&query](const Source& source) { return source.name == query.defaultSource; });
    return query.sources;
}

bool PulseInput::Start(const std::string& source, double rate)
{
    Stop();
    _rate = rate >= 8000 && rate <= 192000 ? rate : 48000;
    if (!Connect()) {
        Stop();
        return false;
    }
    pa_threaded_mainloop_lock(_mainloop);
    // Mono from the server: it mixes the channels down itself.
    _channels = 1;
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(_rate),
                              static_cast<std::uint8_t>(_channels)};
    _stream = pa_stream_new(_context, "Listening", &spec, nullptr);
    bool ready = false;
    if (_stream) {
        pa_stream_set_state_callback(_stream, &PulseInput::StreamState, this);
        pa_stream_set_read_callback(_stream, &PulseInput::ReadRequest, this);
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(FragmentNs / 1000, &spec));
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                                          PA_STREAM_AUTO_TIMING_UPDATE);
        _frames = 0;
        _arrivedAtNs = 0;
        _arrivedFrames = 0;
        _block.frames = 0;
        _peak = 0;
        _peakFrames = 0;
        if (pa_stream_connect_record(_stream, source.empty() ? nullptr : source.c_str(), &attributes, flags) == 0)
            ready = PulseMainLoop::WaitFor(
                _mainloop, [this] { return pa_stream_get_state(_stream) == PA_STREAM_READY; }, ConnectTimeout, _failed);
    }
    pa_threaded_mainloop_unlock(_mainloop);
    if (!ready)
        Stop();
    return ready;
}

void PulseInput::ReadRequest(pa_stream*, std::size_t, void* self) noexcept
{
    static_cast<PulseInput*>(self)->Read();
}

// On the main loop's thread: what the server captured, each fragment's first frame timed by the
// stream's latency (how long ago the oldest unread frame was captured). What is readable now
// arrived by now: the blocks it completes carry that.
void PulseInput::Read() noexcept
{
    _arrivedAtNs = Clock::Now();
    const std::size_t readable = pa_stream_readable_size(_stream);
    if (readable != static_cast<std::size_t>(-1))
        _arrivedFrames =
            _frames + static_cast<std::int64_t>(readable / (sizeof(float) * static_cast<std::size_t>(_channels)));
    for (;;) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(_stream, &data, &bytes) < 0 || bytes == 0)
            return;
        const std::int64_t capturedAt = CapturedAt();
        const auto frames = static_cast<std::int64_t>(bytes / (sizeof(float) * static_cast<std::size_t>(_channels)));
        if (data)
            Take(static_cast<const float*>(data), frames, capturedAt);
        else
            Take(nullptr, frames, capturedAt);  // a hole: silence keeps the frame count
        pa_stream_drop(_stream);
    }
}

// When the first unread frame was captured. The server's last timing report says which frame it
// was to hand over next (the write index) and how long before the report that frame was captured
// (the source's latency); frames are a sample period apart from there. That holds to a fraction
// of a millisecond, where the interpolated latency wanders by milliseconds for many seconds
// after a stream starts. Without a report, the latency as the library estimates it.
std::int64_t PulseInput::CapturedAt() noexcept
{
    const std::int64_t now = Clock::Now();
    const pa_timing_info* timing = pa_stream_get_timing_info(_stream);
    if (const std::int64_t reportedAt = timing ? PulseMainLoop::ReportedAt(*timing, now) : 0;
        reportedAt != 0 && !timing->write_index_corrupt) {
        const double written =
            static_cast<double>(timing->write_index) / (sizeof(float) * static_cast<double>(_channels));
        return reportedAt - static_cast<std::int64_t>(timing->source_usec) * 1000 -
            std::llround((written - static_cast<double>(_frames)) * 1e9 / _rate);
    }
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(_stream, &latency, &negative) == 0)
        return now - (negative ? -1 : 1) * static_cast<std::int64_t>(latency) * 1000;
    return now;
}

void PulseInput::Take(const float* samples, std::int64_t frames, std::int64_t capturedAt) noexcept
{
    const double framePeriod = 1e9 / _rate;
    for (std::int64_t i = 0; i < frames; ++i) {
        if (_block.frames == 0) {
            _block.firstFrame = _frames;
            _block.capturedAtNs = capturedAt + static_cast<std::int64_t>(static_cast<double>(i) * framePeriod);
        }
        const float value = samples ? samples[i] : 0.0f;
        _block.samples[_block.frames++] = value;
        ++_frames;
        _peak = std::max(_peak, std::fabs(value));
        if (++_peakFrames >= static_cast<std::int64_t>(_rate / 10)) {
            _level.store(std::min(_peak, 1.0f), std::memory_order_relaxed);
            _peak = 0;
            _peakFrames = 0;
        }
        if (_block.frames == BlockFrames) {
            _block.arrivedAtNs = _arrivedAtNs;
            _block.arrivedFrames = std::max(_arrivedFrames, _frames);
            if (!_queue->Push(_block))
                _dropped.fetch_add(BlockFrames, std::memory_order_relaxed);
            _block.frames = 0;
        }
    }
}

void PulseInput::Stop() noexcept
{
    if (!_mainloop)
        return;
    PulseMainLoop::Close(_mainloop, _context, [this] {
        if (_stream) {
            pa_stream_set_state_callback(_stream, nullptr, nullptr);
            pa_stream_set_read_callback(_stream, nullptr, nullptr);
            pa_stream_disconnect(_stream);
            pa_stream_unref(_stream);
            _stream = nullptr;
        }
    });
    _level.store(0, std::memory_order_relaxed);
}

}  // namespace Platform
