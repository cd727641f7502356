#pragma once

#include <cstdint>

#include "Core/IMetronome.h"
#include "Core/Timer.h"

namespace Core {

class IBeatIndicator;
class ISoundEngine;
class MetronomeStrategy;
class OutputClock;

// The one metronome of the program. At every start it picks and prepares the beat strategy,
// the sound engine, the timer strategy and, for the speed trainer, the tempo curve, then starts
// the timer with the beat strategy as its tick handler. All of these are process-wide objects
// made on first use; nothing is allocated per start. Whether it plays is the timer's running
// flag: the metronome keeps no state of its own beyond the current beat strategy.
//
// Commands come from the user-interface thread. The timer thread ticks the beat strategy and
// stops playing by itself when the speed trainer ends or a click fails; before touching what a
// tick uses, every command that stops or restarts the timer waits for its worker to finish.
// A handler therefore must not wait for the user-interface thread inside an event that comes
// on the timer thread: it posts what it has to do there.
class Metronome final : public IMetronome {
public:
    // Start codes.
    static constexpr std::int32_t Playing = 0;
    static constexpr std::int32_t TimerNotStarted = 2;
    static constexpr std::int32_t BadBeatType = 3;
    static constexpr std::int32_t NoTimerStrategy = 4;
    static constexpr std::int32_t SoundEngineFailed = 5;

    // A metronome ticked by the process's timer.
    Metronome();
    // A metronome ticked by `timer` on its own clock (tests give one with their own clock).
    explicit Metronome(Timer& timer);
    ~Metronome() override;
    Metronome(const Metronome&) = delete;
    Metronome& operator=(const Metronome&) = delete;

    // The program's metronome, made on first use.
    static Metronome& Instance();

    std::int32_t Start(IMetronomeEventHandler& handler, Configuration::ConfigurationData& settings) override;
    void Stop() override;
    void TogglePause() override;
    void SetTempo(std::int32_t bpm) override;
    void SetVolumes(const std::uint32_t (&volumes)[NumVoices], std::uint32_t globalVolume) override;

    // The visual beat indicator the GUI installs (null: none, beats are shown nowhere). Takes
    // effect at the next start.
    void SetBeatIndicator(IBeatIndicator* indicator) noexcept;
    // Plays every start through `engine` instead of the engine the settings name (null: the
    // program's engines again). For tests.
    void UseSoundEngine(ISoundEngine* engine) noexcept { _engineOverride = engine; }
    // Ticks on `clock` (the output's frames) whenever its output runs (null: never).
    void UseOutputClock(OutputClock* clock) noexcept { _outputClock = clock; }
    // Ticks every start on `clock` instead (null: as above). For benchmarks that compare clocks.
    void UseTimerClock(Timer::IClock* clock) noexcept { _clockOverride = clock; }

    // The beat strategy of the last start (null before the first).
    MetronomeStrategy* CurrentStrategy() const noexcept { return _strategy; }
    bool IsRunning() const noexcept;
    // The length of a bar of the last start in beats of its tempo (a compound bar counts three
    // of its ticks as one beat).
    double BarBeats() const noexcept { return _barBeats; }

private:
    std::int32_t Fail(std::int32_t code) noexcept;
    Timer::IClock* TimerClock() const noexcept;
    void StopOutput() noexcept;

    Timer& _timer;
    MetronomeStrategy* _strategy = nullptr;
    // The instruments of the last start, for rendering MIDI sounds at new volumes.
    std::uint32_t _instruments[NumVoices] = {};
    IBeatIndicator* _indicator;
    ISoundEngine* _engineOverride = nullptr;
    OutputClock* _outputClock = nullptr;
    Timer::IClock* _clockOverride = nullptr;
    double _barBeats = 1;
};

}  // namespace Core
