#pragma once

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace Tests {

// A JACK client of the test that records several players at once, one input each, every sample
// at the server frame it was played for; buffers are fixed beforehand.
class JackTaps {
public:
    JackTaps(int count, std::int64_t frames) : _tracks(static_cast<std::size_t>(count))
    {
        _client = jack_client_open("taps", JackNoStartServer, nullptr);
        if (!_client)
            return;
        for (int i = 0; i < count; ++i) {
            _tracks[static_cast<std::size_t>(i)].samples.assign(static_cast<std::size_t>(frames), 0.0f);
            _tracks[static_cast<std::size_t>(i)].port = jack_port_register(
                _client, ("in_" + std::to_string(i + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        }
        jack_set_process_callback(_client, &JackTaps::Process, this);
        jack_set_xrun_callback(_client, &JackTaps::Xrun, this);
        jack_activate(_client);
    }
    ~JackTaps()
    {
        if (_client)
            jack_client_close(_client);
    }
    JackTaps(const JackTaps&) = delete;
    JackTaps& operator=(const JackTaps&) = delete;

    bool Open() const { return _client != nullptr; }
    bool Connect(int track, const std::string& port)
    {
        return jack_connect(_client, port.c_str(), jack_port_name(_tracks[static_cast<std::size_t>(track)].port)) == 0;
    }
    bool Has(const std::string& port) const { return jack_port_by_name(_client, port.c_str()) != nullptr; }
    // Recording starts with the next cycle and ends when the buffers are full.
    void Start() { _recording.store(true, std::memory_order_release); }
    bool Started() const { return _recorded.load(std::memory_order_acquire) > 0; }
    bool Full() const { return _recorded.load(std::memory_order_acquire) >= Length(); }
    // The server frame the recording has reached (the first recorded sample's frame before).
    std::int64_t Now() const
    {
        return _firstFrame.load(std::memory_order_acquire) + _recorded.load(std::memory_order_acquire);
    }
    std::int64_t FirstFrame() const { return _firstFrame.load(std::memory_order_acquire); }

    // The server frames at which a track's sounds start: each rise above the threshold at least
    // `gap` frames after the last.
    std::vector<std::int64_t> Onsets(int track, std::int64_t gap) const
    {
        std::vector<std::int64_t> onsets;
        const std::vector<float>& samples = _tracks[static_cast<std::size_t>(track)].samples;
        const std::int64_t recorded = std::min<std::int64_t>(_recorded.load(std::memory_order_acquire), Length());
        std::int64_t last = -gap - 1;
        for (std::int64_t i = 0; i < recorded; ++i) {
            if (std::abs(samples[static_cast<std::size_t>(i)]) > 1e-3f && i - last > gap) {
                last = i;
                onsets.push_back(FirstFrame() + i);
            }
        }
        return onsets;
    }

    // The server frames at which it reported a cycle lost (an xrun): what any player put in it was
    // never heard, and a player's clock may need a while to settle after it.
    std::vector<std::int64_t> Xruns() const
    {
        return {_xruns, _xruns + std::min(_xrunCount.load(std::memory_order_acquire), MaxXruns)};
    }

private:
    static constexpr int MaxXruns = 256;
    struct Track {
        jack_port_t* port = nullptr;
        std::vector<float> samples;
    };
    std::int64_t Length() const { return static_cast<std::int64_t>(_tracks.front().samples.size()); }

    static int Process(jack_nframes_t frames, void* self)
    {
        auto& taps = *static_cast<JackTaps*>(self);
        if (!taps._recording.load(std::memory_order_acquire))
            return 0;
        const std::int64_t cycleFrame = jack_last_frame_time(taps._client);
        if (taps._recorded.load(std::memory_order_relaxed) == 0)
            taps._firstFrame.store(cycleFrame, std::memory_order_release);
        const std::int64_t start = cycleFrame - taps._firstFrame.load(std::memory_order_relaxed);
        std::int64_t done = start;
        for (Track& track : taps._tracks) {
            const auto* in = static_cast<const float*>(jack_port_get_buffer(track.port, frames));
            done = start;
            for (jack_nframes_t i = 0; i < frames && done < static_cast<std::int64_t>(track.samples.size()); ++i)
                track.samples[static_cast<std::size_t>(done++)] = in[i];
        }
        taps._recorded.store(std::max<std::int64_t>(done, 1), std::memory_order_release);
        return 0;
    }

    static int Xrun(void* self)
    {
        auto& taps = *static_cast<JackTaps*>(self);
        const int at = taps._xrunCount.load(std::memory_order_relaxed);
        if (at < MaxXruns)
            taps._xruns[at] = jack_frame_time(taps._client);
        taps._xrunCount.store(at + 1, std::memory_order_release);
        return 0;
    }

    jack_client_t* _client = nullptr;
    std::int64_t _xruns[MaxXruns] = {};
    std::atomic<int> _xrunCount{0};
    std::vector<Track> _tracks;
    std::atomic<bool> _recording{false};
    std::atomic<std::int64_t> _recorded{0};
    std::atomic<std::int64_t> _firstFrame{0};
};

}  // namespace Tests
