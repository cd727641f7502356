#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/LockFreeQueue.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace Platform {

// A capture stream from one of the sound server's sources (a PulseAudio server, or PipeWire's
// server of the same protocol), on libpulse's threaded main loop of its own. The read callback
// mixes what came in to mono, cuts it into blocks and pushes them to a lock-free queue; the
// analysis pops them on its own thread. The callback allocates nothing and takes no lock but the
// main loop's own. Each block carries the number of its first frame and the clock time
// (Platform::Clock) that frame was captured at, from the server's latency report; and when the
// read callback that completed it ran (Platform::Clock) and how many frames had come by then, for
// a clock that measures the input's own rate.
class PulseInput {
public:
    static constexpr const char* ClientName = "Ticova";
    static constexpr int BlockFrames = 256;
    static constexpr std::size_t QueueBlocks = 1024;  // five seconds at 48 kHz
    static constexpr std::chrono::nanoseconds ConnectTimeout = std::chrono::seconds(2);

    struct Source {
        std::string name;
        std::string description;
        bool monitor = false;  // what a sink plays, not a microphone
    };
    struct Block {
        std::int64_t firstFrame = 0;
        std::int64_t capturedAtNs = 0;
        std::int64_t arrivedAtNs = 0;
        std::int64_t arrivedFrames = 0;  // frames of the stream that had come by arrivedAtNs
        int frames = 0;
        float samples[BlockFrames];
    };

    PulseInput();
    ~PulseInput() { Stop(); }
    PulseInput(const PulseInput&) = delete;
    PulseInput& operator=(const PulseInput&) = delete;

    // The server's sources, its default one first; empty when no server answers.
    static std::vector<Source> Sources();

    // Records `source` (empty: the default) at `rate`; false when there is no server or the
    // stream does not open.
    bool Start(const std::string& source, double rate = 48000);
    void Stop() noexcept;
    bool Running() const noexcept { return _stream != nullptr && !_failed.load(std::memory_order_acquire); }
    double Rate() const noexcept { return _rate; }

    // The analysis side (one thread): the next block, false when none is waiting.
    bool Pop(Block& block) noexcept { return _queue->Pop(block); }
    // The input's peak level of about the last 0.1 s, 0..1 (any thread).
    float Level() const noexcept { return _level.load(std::memory_order_relaxed); }
    // Frames lost because the analysis fell behind (any thread).
    std::int64_t Dropped() const noexcept { return _dropped.load(std::memory_order_relaxed); }

private:
    bool Connect();
    static void ContextState(pa_context* context, void* self) noexcept;
    static void StreamState(pa_stream* stream, void* self) noexcept;
    static void ReadRequest(pa_stream* stream, std::size_t bytes, void* self) noexcept;
    void Read() noexcept;
    std::int64_t CapturedAt() noexcept;
    void Take(const float* samples, std::int64_t frames, std::int64_t capturedAt) noexcept;

    pa_threaded_mainloop* _mainloop = nullptr;
    pa_context* _context = nullptr;
    pa_stream* _stream = nullptr;
    std::unique_ptr<LockFreeQueue<Block, QueueBlocks>> _queue;
    double _rate = 48000;
    int _channels = 1;  // the server mixes the source down to one
    std::atomic<bool> _failed{false};
    std::atomic<float> _level{0};
    std::atomic<std::int64_t> _dropped{0};

    // The main loop's thread only.
    Block _block{};
    std::int64_t _frames = 0;
    std::int64_t _arrivedAtNs = 0;
    std::int64_t _arrivedFrames = 0;
    float _peak = 0;
    std::int64_t _peakFrames = 0;
};

}  // namespace Platform
