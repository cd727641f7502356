#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "Platform/ClockMapping.h"
#include "Platform/DeviceOutput.h"
#include "Platform/IAudioDriver.h"
#include "Platform/JackOutput.h"
#include "Platform/Mixer.h"
#include "Platform/NullOutput.h"
#include "Platform/PipeWireOutput.h"
#include "Platform/PulseOutput.h"
#include "Platform/Thread.h"

namespace Platform {

// The program's one audio output: a stream of one driver (the desktop's sound server, the sound
// device, a JACK client, or, for tests and benchmarks, a null output paced by the clock) that plays
// whatever the mixer renders. It is started by the first Acquire. After the last Release a stream
// that can pause at its server (the sound server's) waits there, costing nothing, until the next
// Acquire starts it again at once; any other keeps running for IdleCloseDelay (a restart needs no
// new stream) and then closes, so that a program left idle costs nothing.
//
// Its frames are the clock of everything that plays: a click names the frame it starts on. The
// output also follows how its frames run against the system clock (a delay-locked loop over
// the callbacks' times), which other threads read without a lock to decide *when* to hand a
// click over and when it is heard, never on which frame it starts.
class AudioOutput final : private IAudioClient {
public:
    static constexpr double PreferredRate = DeviceOutput::PreferredRate;
    // How long the device stays open after its last user left. Opening it through the sound
    // server's ALSA plugin takes one to two seconds before the first frame is heard, so it stays
    // open through the pauses of a practice session and closes when the program is left idle.
    static constexpr std::chrono::nanoseconds IdleCloseDelay = std::chrono::minutes(10);
    // A device stream whose callbacks stopped for this long has died (longer than the sound
    // server's stall at a start or after an underflow); one its driver knows to be dead (the
    // server shut it down) is closed at once. It is looked at this often; a paused stream (the
    // program stopped) far less often, since a start asks its driver again anyway.
    static constexpr std::chrono::nanoseconds DeadAfter = std::chrono::seconds(4);
    static constexpr std::chrono::nanoseconds WatchInterval = std::chrono::milliseconds(100);
    static constexpr std::chrono::nanoseconds PausedWatchInterval = std::chrono::seconds(1);

    AudioOutput();
    virtual ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    static AudioOutput& Instance();

    // Starts the output if it is not running; a multimedia result code. Every successful Acquire
    // is matched by one Release.
    std::uint32_t Acquire();
    void Release();
    // A start that knows its first sound comes at once (the metronome's): the next Acquire that
    // starts a stream able to wait at its server holds it there, with the mixer at frame 0, until
    // Play. Meanwhile a sound handed over now starts HeldLead after the stream's first frame (or
    // later, where the server may not play the first frames: LeadTime), and the first buffer the
    // server gets carries it. Play also ends a hold asked for that did not happen; a hold nobody
    // ends is played by the watch after LongestHold.
    void HoldNextStart();
    void Play();
    bool Held();
    static constexpr std::chrono::nanoseconds HeldLead = std::chrono::milliseconds(5);
    static constexpr std::chrono::nanoseconds LongestHold = std::chrono::milliseconds(250);
    // Closes an output nobody uses at once, instead of after the idle delay.
    void CloseIdle();
    // Whether the output runs. A device stream that died is closed, under its users: it does
    // not run, and the next Acquire opens it afresh.
    bool Running() const noexcept { return _running.load(std::memory_order_acquire); }
    // While the output is closed, carries out what was handed to the mixer (a wave device's
    // reset or detach), which no audio thread will; nothing otherwise.
    void ServeWhileClosed() noexcept;

    Mixer& GetMixer() noexcept { return _mixer; }
    double SampleRate() const noexcept { return _sampleRate.load(std::memory_order_acquire); }
    // Buffers the device reported it could not play in time (for benchmarks and tests).
    std::int64_t Underflows() const noexcept { return _underflows.load(std::memory_order_relaxed); }

    // --- timing, from any thread, while the output runs ---
    // The first output frame that a sound handed over now is sure to reach the mixer in time
    // for: the frames being rendered now, plus the lead below.
    std::int64_t LeadFrame() const noexcept;
    // The clock time by which a sound for `frame` is to be handed over.
    std::int64_t HandOverTime(std::int64_t frame) const noexcept;
    // The clock time at which `frame` is heard (the device's delay included).
    std::int64_t HeardAt(std::int64_t frame) const noexcept;
    // The (fractional) frame heard at clock time `time`: the inverse of HeardAt.
    double FrameHeardAt(std::int64_t time) const noexcept;
    // The (fractional) frame being rendered at clock time `time`.
    double FrameAt(std::int64_t time) const noexcept;
    // From handing a sound over to the mixer rendering it: one buffer, the longest pause seen
    // between callbacks, and a margin for a hand-over delayed by a busy machine; in ns.
    std::int64_t LeadTime() const noexcept { return _leadNs.load(std::memory_order_relaxed); }
    // How often the audio thread renders a buffer (ns): the length of its latest one.
    std::int64_t BufferPace() const noexcept { return _paceNs.load(std::memory_order_relaxed); }
    // The device's rate as measured against the clock, and how often the loop following it
    // started over (after an underflow or a stall).
    double MeasuredRate() const noexcept;
    int MappingRestarts() const noexcept { return _restarts.load(std::memory_order_relaxed); }

    // The outputs the sound device offers (DeviceOutput::List).
    std::vector<DeviceOutput::Entry> Devices();
    // The sound device to play on (DeviceOutput::Choose). An idle stream on another one closes
    // now, one in use when its last user leaves; the next start opens the new one.
    void ChooseDevice(std::string hostApi, std::string device);
    // Play as a JACK client from the next start on (falling back to the sound device, with a
    // notice, when no JACK server runs), or on the sound device. As for ChooseDevice, a stream
    // of the other kind closes when it is idle.
    void ChooseJack(bool jack);
    // Whether the running stream is the JACK client's, the sound server's (and of that, a
    // PipeWire server's, in its own protocol).
    bool PlaysThroughJack();
    bool PlaysThroughServer();
    bool PlaysThroughPipeWire();
    // Whether the stream waits, paused at its server, for its next user.
    bool Paused();
    JackOutput& Jack() noexcept { return _jack; }

    // Where the output reports, in one line, what its user should know (a chosen device gone);
    // called from whichever thread opens the output. Null: nowhere.
    void SetNotice(void (*notice)(const char* message));
    // Reports one line there.
    void Notice(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Use the null output instead of the sound device from the next start on.
    void UseNullOutput(bool useNull);
    // The null output copies what it renders into `capture` (interleaved stereo, its size fixed
    // beforehand) until it is full; FramesCaptured tells how far it got. Pass nullptr to stop.
    // The capture's frame 0 is output frame 0 of the next start.
    void SetNullCapture(std::vector<float>* capture);
    std::int64_t FramesCaptured() const noexcept { return _null.FramesCaptured(); }
    // The clock time at which output frame 0 of the running null output is heard.
    std::int64_t NullStartTime() const noexcept { return _null.StartTime(); }

private:
    // What other threads read of the mapping: published by the audio thread after every buffer
    // under a sequence count (odd while it writes), read by retrying until the count is even and
    // unchanged. Every field is an atomic, so the audio thread never waits.
    struct Published {
        std::atomic<std::uint32_t> sequence{0};
        std::atomic<std::int64_t> origin{0};
        std::atomic<double> baseTime{0};
        std::atomic<std::int64_t> baseFrame{0};
        std::atomic<double> framePeriod{1e9 / PreferredRate};
        std::atomic<double> ahead{0};
    };
    struct Snapshot {
        ClockMapping::State mapping;
        double ahead = 0;
    };

    IAudioDriver& DefaultDriver() noexcept;
    IAudioDriver& Chosen() noexcept;
    // Opens the chosen driver's stream, held for Play where it can be (see HoldNextStart).
    std::uint32_t Open(bool hold);
    // Takes the stream just resumed as held for Play, when its driver held it.
    void Hold();
    void ReplaceWhenIdle();
    void StopStream();
    void RunCloser();
    // IAudioClient: everything the output does with one buffer, on the driver's audio thread.
    void Prepare(double rate) noexcept override;
    void OnBuffer(float* output, int frames, const BufferTiming& timing) noexcept override;
    void Discard(float* scratch, int frames) noexcept override { _mixer.Render(scratch, frames); }
    void Publish(const ClockMapping::State& state, double ahead) noexcept;
    Snapshot Read() const noexcept;

    std::mutex _lock;  // Acquire/Release and the closer (not the audio thread)
    std::condition_variable _closerWake;
    int _users = 0;
    bool _useNull = false;
    bool _useJack = false;
    bool _replace = false;   // a stream on a device no longer chosen closes when its users leave
    bool _paused = false;    // the stream waits, paused at its server, with no user
    bool _holdNext = false;  // the next start waits at the server for Play
    bool _held = false;      // the stream waits at its server for Play, since _heldSince
    std::int64_t _heldSince = 0;
    std::atomic<void (*)(const char*)> _notice{nullptr};
    IAudioDriver* _active =
        nullptr;  // the driver whose stream runs (possibly with no user, until the idle delay passes)
    std::int64_t _idleSince = 0;
    bool _closerStop = false;
    bool _closerStarted = false;
    Thread _closer;
    Mixer _mixer;
    DeviceOutput _device;
    PipeWireOutput _pipeWire;
    PulseOutput _pulse;
    NullOutput _null;
    JackOutput _jack;
    std::atomic<double> _sampleRate{PreferredRate};
    std::atomic<bool> _running{false};
    std::atomic<std::int64_t> _underflows{0};
    std::atomic<std::int64_t> _leadNs{0};
    std::atomic<std::int64_t> _paceNs{0};
    std::atomic<int> _restarts{0};
    std::atomic<int> _callbacks{0};
    std::atomic<std::int64_t> _lastCallback{0};

    // Audio thread only.
    ClockMapping _mapping;
    std::int64_t _previousCallback = 0;
    std::int64_t _maxGap = 0;
    double _ahead = 0;
    Published _published;
};

}  // namespace Platform
