#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "Configuration/Song.h"

#include "Core/CountIn.h"
#include "Core/IBarLineSuccessor.h"
#include "Core/IMetronome.h"
#include "Core/SessionFollower.h"
#include "Core/SongTimerStrategy.h"
#include "Core/Timer.h"

namespace Core {

class IBeatFlash;
class IBeatIndicator;
class ISessionTimeline;
class ISoundEngine;
class MetronomeStrategy;
class OutputClock;

// The one metronome of the program. At every start it picks and prepares the beat strategy,
// the sound engine, the timer strategy and, for the speed trainer, the tempo curve, then starts
// the timer with the beat strategy as its tick handler. The strategies are made with the
// metronome, the engines and the timer are the process's, made on first use; nothing is
// allocated per start. Whether it plays is the timer's running
// flag, or a pause: the metronome keeps no state of its own beyond the current beat strategy
// and whether it is paused.
//
// Commands come from the user-interface thread. The timer thread ticks the beat strategy and
// stops playing by itself when the speed trainer ends or a click fails; before touching what a
// tick uses, every command that stops or restarts the timer waits for its worker to finish.
// A handler therefore must not wait for the user-interface thread inside an event that comes
// on the timer thread: it posts what it has to do there.
//
// A run can go on into the next without stopping (Continue): the next one is prepared in a second
// set of the same objects while the first plays, and takes over on the timer thread at a bar
// line, on the same grid. The two sets take turns; which one plays and whether the other waits
// to take over is one atomic word, so that taking back a waiting run and its taking over never
// both happen.
class Metronome final : public IMetronome, private IBarLineSuccessor {
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
    void SetMuted(bool muted) override
    {
        _muted = muted;
        ApplyMuting();
    }
    void SetMutedBars(std::int32_t played, std::int32_t silent) override
    {
        _playedBars = played;
        _silentBars = silent;
        ApplyMuting();
    }
    void SetBarLimit(std::int32_t bars) override { _barLimit = bars; }
    std::int32_t Continue(IMetronomeEventHandler& handler, Configuration::ConfigurationData& settings, ChangeAt at,
                          std::int32_t tag) override;
    void CancelContinuation() override;
    // Plays `song` (copied; null: none) at the next start instead of the settings' beat and
    // speed trainer: the settings give the sounds, volumes, the indicator and the subdivisions
    // its sections take from them. Taken by the next Start or Continue, whichever comes first.
    void SetSong(const Configuration::Song* song) override;
    // Whether the last start played a song, and where in it the listener is (any thread).
    bool PlaysSong() const noexcept override;
    SongTimerStrategy::Heard SongHeard() const noexcept override;
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

    // The session to play with (null: none). While it is enabled, every start begins on its next
    // bar line and every click falls on its beats (SessionGrid); the tempo a run sets itself (a
    // trainer's stage, a song's section) is proposed to it, and so is the user's (SetTempo).
    // Any thread; taken from the next tick on.
    void SetSession(ISessionTimeline* session) noexcept { _follower.SetSession(session); }
    ISessionTimeline* Session() const noexcept { return _follower.Session(); }

    // The beat strategy of the run playing, or of the last one (null before the first start).
    MetronomeStrategy* CurrentStrategy() const noexcept { return Current().strategy; }
    bool IsRunning() const noexcept;
    // The length of a bar of the run playing (or the last) in beats of its tempo (a compound
    // bar counts three of its ticks as one beat).
    double BarBeats() const noexcept { return Current().barBeats; }
    // How long the count-in of that run lasts: its first tick to the run's first.
    Interval CountInLength() const noexcept { return Current().countInLength; }

    // The metronome's own strategies (defined where they are used).
    struct Strategies;

private:
    // What one run is played with, prepared by Start or Continue.
    struct Run {
        MetronomeStrategy* strategy = nullptr;
        // The instruments, for rendering MIDI sounds at new volumes.
        std::uint32_t instruments[NumVoices] = {};
        double barBeats = 1;
        Interval countInLength{0};
        std::int32_t tag = 0;
    };
    // The timer ticks the run playing through this, so that a run taking over needs no restart.
    class Ticks final : public ITimerEventHandler {
    public:
        explicit Ticks(Metronome& metronome) noexcept : _metronome(metronome) {}
        void OnTimer() override;
        void OnClockLost() override;
        void BeforePlacedTick(std::int64_t& due) override;

    private:
        Metronome& _metronome;
    };

    // _state: bit 0 the set that plays; one of the Waiting bits when the other set waits to
    // take over, and at which bar line (the timer thread decides on this word alone).
    static constexpr std::uint32_t WaitingAtBarLine = 2;
    static constexpr std::uint32_t WaitingAtBarLimit = 4;
    static constexpr std::uint32_t Waiting = WaitingAtBarLine | WaitingAtBarLimit;

    // The set that plays (0 or 1).
    int PlayingIndex() const noexcept { return static_cast<int>(_state.load(std::memory_order_acquire) & 1); }
    const Run& Current() const noexcept { return _runs[PlayingIndex()]; }
    Run& Current() noexcept { return _runs[PlayingIndex()]; }
    // Prepares run `index` to play `settings`; a start code.
    std::int32_t Prepare(int index, IMetronomeEventHandler& handler, Configuration::ConfigurationData& settings,
                         bool continuing);
    // Takes back a run waiting to take over: whether there was one. The set playing is then
    // fixed until the next Continue.
    bool Retract() noexcept;
    // The steps of Prepare, in order: the sound engine, the indicator and flash, the sounds and
    // their volumes, the pattern with its timer strategy and count-in.
    std::int32_t PrepareEngine(MetronomeStrategy& strategy, Configuration::ConfigurationData& settings, int index);
    void PrepareShowing(MetronomeStrategy& strategy, const Configuration::ConfigurationData& settings,
                        std::int32_t barLimit, bool continuing);
    void PrepareSounds(Run& run, const Configuration::ConfigurationData& settings);
    std::int32_t PrepareTiming(int index, Configuration::ConfigurationData& settings, bool song);
    bool TakeOver(bool barsPlayed) noexcept override;
    // The mute and the muted bars to both runs' strategies, a run playing among them.
    void ApplyMuting() noexcept;
    std::int32_t Fail(int index, std::int32_t code) noexcept;
    Timer::IClock* TimerClock() const noexcept;
    // Closes the engine of the run playing and every engine the runs since the start opened,
    // and hides the indicator if any of them showed beats.
    void StopOutput() noexcept;
    void NoteOpened(ISoundEngine* engine) noexcept;
    // Closes the engines noted (but `closed`) and forgets them.
    void CloseOpenedEngines(ISoundEngine* closed) noexcept;
    // The first voice the run of `strategy` plays whose sound its engine has nothing for (an
    // audio file not set), logged; -1 when every one has.
    static std::int32_t FirstSoundWithoutFile(const MetronomeStrategy& strategy,
                                              const Configuration::ConfigurationData& settings);
    void PrepareCountIn(Run& run, const Configuration::ConfigurationData& settings, std::int32_t beatsPerBar);
    // Starts the timer on the clock of the run, at the session's next bar line when it plays
    // with one (at the place in its bar the run goes on from, for a resume).
    bool StartTimer(bool resume);
    SessionFollower::Playing NowPlaying() noexcept;

    Timer& _timer;
    // Two sets of the strategies, made with the metronome: a metronome of its own (a click
    // track's export) shares nothing with the program's.
    std::unique_ptr<Strategies[]> _strategies;
    Run _runs[2];
    std::atomic<std::uint32_t> _state{0};
    Ticks _ticks{*this};
    // The engines the runs since the last start opened (each once), and whether a continuation
    // showed beats: closed and hidden when playing stops. User-interface thread only.
    ISoundEngine* _openedEngines[3] = {};
    bool _continuedVisual = false;
    IBeatIndicator* _indicator;
    IBeatFlash* _flash = nullptr;
    bool _muted = false;
    std::int32_t _playedBars = 0, _silentBars = 0;
    std::int32_t _barLimit = 0;
    std::optional<Configuration::Song> _song;
    std::int32_t _soundWithoutFile = -1;
    OutputClock* _outputClock = nullptr;
    // The program's own metronome lets the program's engines finish closing before the output
    // goes away; one made with a timer of its own (a test's) plays engines that may be gone.
    bool _closesProgramEngines = false;
    StandIns _standIns;
    // Paused by TogglePause: the timer stands, the output stays open. User-interface thread only.
    bool _paused = false;
    CountIn _countIn;
    SessionFollower _follower{_timer};
};

}  // namespace Core
