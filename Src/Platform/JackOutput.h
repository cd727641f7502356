#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "Platform/IAudioDriver.h"
#include "Platform/LockFreeQueue.h"
#include "Platform/OutputFrame.h"

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

namespace Platform {

// Ticova as a client of a running JACK server (or PipeWire through its JACK interface): two
// audio output ports, connected to the system's playback ports, and a MIDI output port. The
// server's own frame clock places every frame: the output's frame f is the server's frame
// FirstFrame() + f, and the times the server gives each cycle map frames to the clock, so no loop
// has to follow the callbacks; cycles the server skipped (an xrun) pass in the output's frames
// too. A server is never started: with none running, Start fails.
class JackOutput final : public IAudioDriver {
public:
    static constexpr const char* ClientName = "Ticova";
    // A MIDI message for the MIDI port, on the output frame it is to be sent at.
    struct MidiEvent {
        std::int64_t frame;
        std::uint8_t bytes[3];
    };
    // The most MIDI events waiting for their cycle.
    static constexpr int MaxPendingMidi = 256;

    JackOutput() = default;
    ~JackOutput() override { Stop(); }

    std::uint32_t Start(IAudioClient& client) override;
    void Stop() noexcept override;

    // The server's frame time of output frame 0; valid once the output has rendered.
    std::int64_t FirstFrame() const noexcept { return _firstFrame.load(std::memory_order_acquire); }
    // The names the server gave the client's ports ("Ticova:out_1"...); empty while stopped.
    std::string PortName(int channel) const;
    std::string MidiPortName() const;
    // Any thread: sends a three-byte MIDI message on the MIDI port at output frame `frame` (one
    // already rendered: at the start of the next cycle). False when not running or full.
    bool SendMidi(const std::uint8_t (&bytes)[3], OutputFrame frame) noexcept;
    bool Running() const noexcept { return _running.load(std::memory_order_acquire); }
    // The server has not shut the client down.
    bool Alive() const noexcept override { return Running(); }

private:
    static int Process(std::uint32_t frames, void* self) noexcept;
    static int Xrun(void* self) noexcept;
    static void Shutdown(void* self) noexcept;
    void Render(std::uint32_t frames) noexcept;
    void WriteMidi(std::uint32_t frames, std::int64_t bufferStart) noexcept;
    void ConnectToPlayback();

    jack_client_t* _client = nullptr;
    jack_port_t* _ports[2] = {nullptr, nullptr};
    jack_port_t* _midiPort = nullptr;
    IAudioClient* _audioClient = nullptr;
    double _rate = 48000;
    std::int64_t _clockOffset = 0;  // Platform clock minus the server's clock, in ns
    std::atomic<bool> _running{false};
    std::atomic<bool> _xrun{false};
    std::atomic<int> _cycles{0};
    std::atomic<std::int64_t> _firstFrame{0};
    LockFreeQueue<MidiEvent, 1024> _midi;

    // Process thread only.
    std::vector<float> _interleaved;
    std::int64_t _rendered = 0;
    std::uint32_t _lastCycleFrame = 0;
    std::int64_t _serverFrames = 0;  // the server's frames since the first cycle
    MidiEvent _pending[MaxPendingMidi];
    int _pendingCount = 0;
};

}  // namespace Platform
