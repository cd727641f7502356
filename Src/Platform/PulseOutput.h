#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "Platform/IAudioDriver.h"
#include "Platform/TimingReports.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace Platform {

// A playback stream on the desktop's sound server through its own protocol (a PulseAudio server,
// or PipeWire's server of the same protocol), on libpulse's threaded main loop. It opens at the
// default sink's own rate, so that the server does not resample, with a short buffer the
// server keeps full. While nobody plays, the stream is corked at the server: nothing runs and
// the server may sleep, and a start uncorks it at once. The server's timing reports (its
// sink's latency, the stream's read and write index) map each written frame to the time it is
// heard. A server is never spawned: with none running, Start fails.
class PulseOutput final : public IAudioDriver {
public:
    static constexpr const char* ClientName = "Ticova";
    // The latency asked of the server, from writing a frame to hearing it, and the size of its
    // requests for more. Each request wakes the main loop's thread, twice: at 8 ms requests (and
    // 24 ms) that thread took 0.65-0.8 % of a core while playing, at 16 ms (and 48 ms) half as
    // much. A start on the open output is heard as soon with either (5.5 ms on PulseAudio) but
    // for the sink's longer latency, which a held start's first sound must come after (see
    // StartUnheardNs); one that connects anew waits out the server's first block, which grows
    // with the latency (16 ms at 24, 25 ms at 48, 40 ms at 100).
    static constexpr std::int64_t TargetLatency = 48'000'000;
    static constexpr std::int64_t RequestSize = 16'000'000;
    // PipeWire's pulse server runs its graph in quanta and keeps a stream's buffer at what the
    // asked latency leaves beside them: 12 ms leave a request answered late about one quantum
    // (5 ms), and a busy machine runs the stream dry, each time a quantum of silence that moves
    // every later click. There the stream asks for more (it is granted about 25 ms, in 3 ms
    // requests). A start's first click comes no later for it: the first buffer, written while the
    // stream is still corked, carries it a moment after the stream's first frame. Requests of
    // 8 ms woke the main loop's thread as often (the graph's quantum sets the pace) and held the
    // heard times no better.
    static constexpr std::int64_t PipeWireTargetLatency = 40'000'000;
    static constexpr std::int64_t PipeWireRequestSize = 3'000'000;
    // Longest waits for the server: connecting, a stream becoming ready, a start's first request.
    static constexpr std::chrono::nanoseconds ConnectTimeout = std::chrono::seconds(2);
    static constexpr std::chrono::nanoseconds StartTimeout = std::chrono::seconds(1);
    // How often, at most, a stream on PipeWire asks for the server's timing while it plays (see
    // HeardIn).
    static constexpr std::chrono::nanoseconds AskTimingEvery = std::chrono::milliseconds(50);

    PulseOutput() = default;
    ~PulseOutput() override { Stop(); }
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    std::uint32_t Start(IAudioClient& client) override;
    void Stop() noexcept override;
    bool Pause() noexcept override;
    std::uint32_t Resume(bool held) override;
    void Play() noexcept override;
    bool Alive() const noexcept override { return !_failed.load(std::memory_order_acquire); }
    std::int64_t StartUnheardNs() const noexcept override { return _startUnheard; }

    // The stream's rate; valid once started.
    double Rate() const noexcept { return _rate; }
    // Whether the stream is corked (for tests).
    bool Paused() const noexcept { return _paused.load(std::memory_order_acquire) || Held(); }
    // Whether a start is held, corked, for its first sound (for tests).
    bool Held() const noexcept override { return _held.load(std::memory_order_acquire); }
    // Write requests answered since the last start (for tests and benchmarks).
    int Requests() const noexcept { return _requests.load(std::memory_order_acquire); }

private:
    bool Connect();
    bool OpenStream();
    double SinkRate();
    // Runs the main loop's events (with its lock held) until `done` says so or `timeout` passed;
    // false on a time-out or when the connection failed.
    template <typename Done>
    bool WaitFor(Done done, std::chrono::nanoseconds timeout);
    static void ContextState(pa_context* context, void* self) noexcept;
    static void StreamState(pa_stream* stream, void* self) noexcept;
    static void WriteRequest(pa_stream* stream, std::size_t bytes, void* self) noexcept;
    static void Underflow(pa_stream* stream, void* self) noexcept;
    static void TimingUpdated(pa_stream* stream, int success, void* self) noexcept;
    void Write(std::size_t bytes) noexcept;
    // With the main loop locked: the stream held for its first sound starts playing.
    bool Uncork();
    bool HeardIn(std::int64_t now, double& delay) noexcept;
    // Forgets the server's timing reports (a new run).
    void ForgetReports() noexcept;
    bool ReadSinceStart() const noexcept;

    pa_threaded_mainloop* _mainloop = nullptr;
    pa_context* _context = nullptr;
    pa_stream* _stream = nullptr;
    IAudioClient* _client = nullptr;
    double _rate = 48000;
    bool _pipeWire = false;  // the server is PipeWire's
    std::atomic<bool> _failed{false};
    std::atomic<bool> _paused{true};
    std::atomic<bool> _held{false};
    std::atomic<bool> _underflow{false};
    std::atomic<bool> _timingUpdated{false};
    std::atomic<int> _requests{0};
    std::int64_t _startUnheard = 0;  // ns; set by Resume, read under the output's lock

    // Main loop thread only (or with its lock held while it waits).
    std::int64_t _frames = 0;     // frames written since the last start
    double _heardDelay = 0;       // the run's delay from rendering to hearing, ns (see HeardIn)
    std::int64_t _requestNs = 0;  // the longest pause between requests seen in this run
    std::int64_t _lastRequest = 0;
    TimingReports _reports;
    QuantumReports _quantumReports;
    std::int64_t _lastAsk = 0;     // when a report was last asked for (PipeWire only)
    std::int64_t _lastReport = 0;  // the wall-clock stamp (µs) of the newest report seen
    std::int64_t _skipped = 0;     // the stream's count of frames written less ours
};

}  // namespace Platform
