#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "Platform/IAudioDriver.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_registry;
struct pw_stream;
struct spa_source;

namespace Platform {

// A playback stream on a PipeWire server through its own protocol. Its frames are rendered in
// the server's graph cycle itself, on the client's real-time thread: one wake-up a quantum, the
// buffer in shared memory, no socket message per buffer. The stream opens at the graph's rate, so
// that nothing between it and the sink resamples. While nobody plays it is inactive at the
// server (the graph leaves it out and the sink may sleep), and a start makes it active at once:
// its next cycle renders the run's frame 0. Each cycle's time (when the graph's driver started
// it, and how long its frames take to reach the device) maps the frames to the clock. With no
// PipeWire server, or one that plays no sound (a PipeWire for video only beside PulseAudio),
// Start fails and the output goes on to the next way out.
class PipeWireOutput final : public IAudioDriver {
public:
    static constexpr const char* ClientName = "Ticova";
    // The quantum the stream asks of the graph: each cycle renders this many frames, and a sound
    // is handed over a cycle ahead. A start asks for a short one, so that its first click is
    // heard soon (the first cycle comes sooner and the sink holds less). Once the run has played
    // for a while it asks for PipeWire's own default: each cycle wakes the client's thread, and a
    // wake-up costs some 75 microseconds here, mostly the kernel's, so that 512 frames at 48 kHz
    // (94 a second) took 0.7 % of a core, 1024 half as much. The lead grows before the quantum.
    static constexpr int StartQuantum = 256;
    static constexpr int RunQuantum = 1024;
    static constexpr std::chrono::nanoseconds StartPhase = std::chrono::seconds(1);
    static constexpr std::chrono::nanoseconds LeadBeforeQuantum = std::chrono::milliseconds(100);
    // Longest waits for the server: connecting and finding its sinks, the stream made, a start's
    // first cycle (a sink that slept may be slow to wake).
    static constexpr std::chrono::nanoseconds ConnectTimeout = std::chrono::seconds(2);
    static constexpr std::chrono::nanoseconds StreamTimeout = std::chrono::seconds(1);
    static constexpr std::chrono::nanoseconds StallTimeout = std::chrono::seconds(3);

    PipeWireOutput();
    ~PipeWireOutput() override;
    PipeWireOutput(const PipeWireOutput&) = delete;
    PipeWireOutput& operator=(const PipeWireOutput&) = delete;

    std::uint32_t Start(IAudioClient& client) override;
    // The stream is made inactive and stays so until Play: a sink that sleeps wakes with the
    // run's first cycle, which renders frame 0 and the first sound with it.
    std::uint32_t StartHeld(IAudioClient& client) override;
    void Stop() noexcept override;
    bool Pause() noexcept override;
    std::uint32_t Resume(bool held) override;
    void Play() noexcept override;
    bool Held() const noexcept override { return _held.load(std::memory_order_acquire); }
    bool Alive() const noexcept override { return !_failed.load(std::memory_order_acquire); }

    // The stream's rate; valid once started.
    double Rate() const noexcept { return _rate; }
    // Cycles rendered since the last start (for tests and benchmarks).
    int Cycles() const noexcept { return _cycles.load(std::memory_order_acquire); }

    struct Listeners;  // the library's hooks, kept where its headers are included

private:
    // Connects, makes the stream (inactive) and prepares the client at frame 0; what it made is
    // closed again when a step fails.
    std::uint32_t Open(IAudioClient& client);
    bool Connect();
    bool OpenStream();
    // With the loop locked: the node's wish for its quantum.
    void AskQuantum(int frames) noexcept;
    static void PhaseEnded(void* self, std::uint64_t expirations) noexcept;
    // Runs the loop's events (unlocked, in short naps) until `done` says so, the server failed,
    // or `timeout` passed; called, and returning, with the loop locked.
    template <typename Done>
    bool WaitFor(Done done, std::chrono::nanoseconds timeout);
    // With the loop locked: the stream joins the graph's cycles (from the start's quantum on) or
    // leaves them.
    void SetActive(bool active) noexcept;
    // Keeps the graph's thread out of the client from here on, and waits for a cycle in it.
    void StopRendering() noexcept;
    void Process() noexcept;

    std::unique_ptr<Listeners> _listeners;
    pw_thread_loop* _loop = nullptr;
    pw_context* _context = nullptr;
    pw_core* _core = nullptr;
    pw_registry* _registry = nullptr;
    pw_stream* _stream = nullptr;
    spa_source* _phaseTimer = nullptr;
    IAudioClient* _client = nullptr;
    double _rate = 48000;
    std::atomic<bool> _failed{false};
    std::atomic<bool> _held{false};
    // Whether the graph's cycles render the client's frames, and whether one is doing so now:
    // the two make sure a stopping thread and the graph's never are in the client at once.
    std::atomic<bool> _rendering{false};
    std::atomic<bool> _inCycle{false};
    std::atomic<int> _cycles{0};
    std::atomic<double> _ranAt{0};      // the graph's rate, when it was not the stream's; kept across streams
    std::atomic<bool> _runLead{false};  // the lead is a RunQuantum's, whatever the cycle

    // Loop thread only, or with the loop locked while it waits.
    int _sinks = 0;
    int _synced = -1;
    int _syncSeq = 0;
    double _graphRate = 0;
    int _phase = 0;  // 0: the start's quantum; 1: the run's lead; 2: the run's quantum

    // The graph's thread, or a stopping thread while it renders nothing (see StopRendering).
    std::int64_t _frames = 0;
};

}  // namespace Platform
