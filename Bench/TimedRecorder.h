#pragma once

// A recording of the default sink's monitor, dated by the server's timing, for the benches that
// time what is heard.

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Clock.h"
#include "Support/SoundCapture.h"

namespace Bench {

// Records the default sink's monitor and dates what it records: each chunk read brings the
// stream's latency (how long ago its first frame was played), so the recording's frame n was
// played at origin + n / rate, origin the median over the chunks.
class TimedRecorder {
public:
    bool Start(double rate)
    {
        _rate = rate;
        _left.reserve(static_cast<std::size_t>(rate * 600));
        _origins.reserve(200000);
        _loop = pa_threaded_mainloop_new();
        _context = pa_context_new(pa_threaded_mainloop_get_api(_loop), "first_click recorder");
        if (pa_context_connect(_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
            pa_threaded_mainloop_start(_loop) < 0)
            return false;
        pa_threaded_mainloop_lock(_loop);
        bool ok = Wait([this] { return pa_context_get_state(_context) == PA_CONTEXT_READY; });
        const std::string monitor = Tests::FirstLineOf("pactl get-default-sink 2>/dev/null") + ".monitor";
        const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(rate), 2};
        _stream = ok ? pa_stream_new(_context, "first_click monitor", &spec, nullptr) : nullptr;
        if (_stream) {
            pa_stream_set_read_callback(_stream, &TimedRecorder::Read, this);
            pa_buffer_attr attributes{};
            attributes.maxlength = static_cast<std::uint32_t>(-1);
            attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(2000, &spec));
            const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                                              PA_STREAM_AUTO_TIMING_UPDATE);
            ok = pa_stream_connect_record(_stream, monitor.c_str(), &attributes, flags) == 0 &&
                Wait([this] { return pa_stream_get_state(_stream) == PA_STREAM_READY; });
        }
        pa_threaded_mainloop_unlock(_loop);
        return ok && _stream;
    }
    ~TimedRecorder()
    {
        if (!_loop)
            return;
        pa_threaded_mainloop_lock(_loop);
        if (_stream) {
            pa_stream_disconnect(_stream);
            pa_stream_unref(_stream);
        }
        pa_context_disconnect(_context);
        pa_context_unref(_context);
        pa_threaded_mainloop_unlock(_loop);
        pa_threaded_mainloop_stop(_loop);
        pa_threaded_mainloop_free(_loop);
    }
    std::int64_t Frames()
    {
        std::lock_guard guard(_lock);
        return static_cast<std::int64_t>(_left.size());
    }
    // The recording's frame played at clock time `time`, and the time frame `frame` was played.
    double FrameAt(std::int64_t time)
    {
        return static_cast<double>(time - Origin(static_cast<double>(Frames()))) * _rate / 1e9;
    }
    std::int64_t TimeOf(double frame) { return Origin(frame) + static_cast<std::int64_t>(frame * 1e9 / _rate); }
    std::vector<float> Samples(std::int64_t from, std::int64_t to)
    {
        std::lock_guard guard(_lock);
        from = std::clamp<std::int64_t>(from, 0, static_cast<std::int64_t>(_left.size()));
        to = std::clamp<std::int64_t>(to, from, static_cast<std::int64_t>(_left.size()));
        return std::vector<float>(_left.begin() + from, _left.begin() + to);
    }

private:
    template <typename Done>
    bool Wait(Done done)
    {
        for (int i = 0; i < 2000 && !done(); ++i) {
            pa_threaded_mainloop_unlock(_loop);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            pa_threaded_mainloop_lock(_loop);
        }
        return done();
    }
    static void Read(pa_stream* stream, std::size_t, void* self)
    {
        auto& recorder = *static_cast<TimedRecorder*>(self);
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
            pa_usec_t latency = 0;
            int negative = 0;
            const bool timed = pa_stream_get_latency(stream, &latency, &negative) == 0 && !negative;
            const std::int64_t now = Platform::Clock::Now();
            std::lock_guard guard(recorder._lock);
            const auto first = static_cast<double>(recorder._left.size());
            if (timed)
                recorder._origins.push_back({static_cast<std::int64_t>(first),
                                             now - static_cast<std::int64_t>(latency) * 1000 -
                                                 static_cast<std::int64_t>(first * 1e9 / recorder._rate)});
            const auto* samples = static_cast<const float*>(data);
            for (std::size_t i = 0; i < bytes / (2 * sizeof(float)); ++i)
                recorder._left.push_back(data ? samples[2 * i] : 0.0f);
            pa_stream_drop(stream);
        }
    }
    // The readings of the half second around `frame`: the monitor's frames do not run on
    // evenly while the sink changes its latency (a stream starting or going), so readings from
    // long before or after tell nothing of this frame.
    std::int64_t Origin(double frame)
    {
        std::lock_guard guard(_lock);
        std::vector<std::int64_t> near;
        for (const Reading& reading : _origins)
            if (std::fabs(static_cast<double>(reading.frame) - frame) < _rate / 4)
                near.push_back(reading.origin);
        if (near.empty())
            return _origins.empty() ? 0 : _origins.back().origin;
        std::nth_element(near.begin(), near.begin() + near.size() / 2, near.end());
        return near[near.size() / 2];
    }
    struct Reading {
        std::int64_t frame;
        std::int64_t origin;
    };

    double _rate = 44100;
    pa_threaded_mainloop* _loop = nullptr;
    pa_context* _context = nullptr;
    pa_stream* _stream = nullptr;
    std::mutex _lock;
    std::vector<float> _left;
    std::vector<Reading> _origins;
};

}  // namespace Bench
