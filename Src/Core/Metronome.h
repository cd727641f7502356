#pragma once

#include <cstdint>

#include "Core/CountIn.h"
#include "Core/IMetronome.h"
#include "Core/Timer.h"

namespace Core {

class IBeatFlash;
class IBeatIndicator;
class ISoundEngine;
class MetronomeStrategy;
class OutputClock;

// The one metronome of the program. At every start it picks and prepares the beat strategy,
// the sound engine, the timer strategy and, for the speed trainer, the tempo curve, then starts
// the timer with the beat strategy as its tick handler. All of these are process-wide objects
// made on first use; nothing is allocated per start. Whether it plays is the timer's running
// flag, or a pause: the metronome keeps no state of its own beyond the current beat strategy
// and whether it is paused.
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
    static constexpr std::int32_t SoundHasNoFile = 12;

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
    bool IsPlaying() const override { return _paused || IsRunning(); }
    bool IsPaused() const override { return _paused; }
    void SetCountIn(const CountIn& countIn) override { _countIn = countIn; }
    void SetMuted(bool muted) override;
    void SetBarLimit(std::int32_t bars) override { _barLimit = bars; }
    std::int32_t SoundWithoutFile() const override { return _soundWithoutFile; }

    // The visual beat indicator the GUI installs (null: none, beats are shown nowhere). Takes
    // effect at the next start.
    void SetBeatIndicator(IBeatIndicator* indicator) noexcept;
    // The big flash the GUI installs (null: none). Takes effect at the next start.
    void SetBeatFlash(IBeatFlash* flash) noexcept { _flash = flash; }
    // The one seam for tests and benchmarks: what every start uses in place of the program's
    // own parts (null: the program's own). Takes effect at the next start.
    struct StandIns {
        ISoundEngine* engine = nullptr;  // instead of the engine the settings name
        Timer::IClock* clock = nullptr;  // instead of the output's frames or the timer's clock
    };
    void UseStandIns(const StandIns& standIns) noexcept { _standIns = standIns; }

    // The beat strategy of the last start (null before the first).
    MetronomeStrategy* CurrentStrategy() const noexcept { return _strategy; }
    bool IsRunning() const noexcept;
    // The length of a bar of the last start in beats of its tempo (a compound bar counts three
    // of its ticks as one beat).
    double BarBeats() const noexcept { return _barBeats; }
    // How long the count-in of the last start lasts: its first tick to the run's first.
    Interval CountInLength() const noexcept { return _countInLength; }

private:
    std::int32_t Fail(std::int32_t code) noexcept;
    Timer::IClock* TimerClock() const noexcept;
    void StopOutput() noexcept;
    void PrepareCountIn(const Configuration::ConfigurationData& settings, std::int32_t beatsPerBar);

    Timer& _timer;
    MetronomeStrategy* _strategy = nullptr;
    // The instruments of the last start, for rendering MIDI sounds at new volumes.
    std::uint32_t _instruments[NumVoices] = {};
    IBeatIndicator* _indicator;
    IBeatFlash* _flash = nullptr;
    bool _muted = false;
    std::int32_t _barLimit = 0;
    std::int32_t _soundWithoutFile = -1;
    OutputClock* _outputClock = nullptr;
    StandIns _standIns;
    // Paused by TogglePause: the timer stands, the output stays open. User-interface thread only.
    bool _paused = false;
    CountIn _countIn;
    double _barBeats = 1;
    Interval _countInLength{0};
};

}  // namespace Core
