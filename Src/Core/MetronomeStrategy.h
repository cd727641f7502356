#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "Core/CustomText.h"
#include "Core/ITimerEventHandler.h"
#include "Core/TickTime.h"

namespace Configuration {
class ConfigurationData;
}

namespace Core {

class IBarLineSuccessor;
class IBeatFlash;
class IBeatIndicator;
class IMetronomeEventHandler;
class ISoundEngine;
class ITimerControl;
class ITimerStrategy;

// A beat strategy turns the timer's ticks into clicks. It owns the tick pattern: a short cyclic
// list of entries (one beat, one bar or one rhythm) whose bits say what sounds on that tick.
// The four beat types differ in how they build the pattern and which voices a beat plays;
// the tick itself is common to all and lives here.
//
// Everything a tick touches is filled in at start (by the metronome) in fixed tables: a tick
// allocates nothing and takes no lock.
class MetronomeStrategy : public ITimerEventHandler {
public:
    static constexpr int NumVoices = 12;
    static constexpr std::int32_t MaxPatternLength = CustomText::MaxSteps;

    // Pattern entry bits.
    static constexpr std::uint16_t BeatEntry = 0x0001;       // PlayBeat()
    static constexpr std::uint16_t PrimaryClick = 0x0002;    // voice 4, the primary subdivision
    static constexpr std::uint16_t SecondaryClick = 0x0004;  // voice 5, the secondary subdivision
    static constexpr std::uint16_t ShowBeat = 0x0010;        // show the voice PlayBeat() returned
    static constexpr std::uint16_t ClearIndicator = 0x0020;  // show nothing (unless ShowBeat)
    static constexpr int PrimaryVoice = 3;
    static constexpr int SecondaryVoice = 4;
    static constexpr int BeepVoice = 5;
    // The audio-file engine counts in with this voice's file.
    static constexpr int CountInVoice = 1;
    // How long the last click of a run that ends by itself may ring before the devices close.
    static constexpr std::chrono::nanoseconds LastClickRing = std::chrono::milliseconds(200);

    MetronomeStrategy() noexcept;
    ~MetronomeStrategy() override = default;
    MetronomeStrategy(const MetronomeStrategy&) = delete;
    MetronomeStrategy& operator=(const MetronomeStrategy&) = delete;

    // One tick, on the timer thread.
    void OnTimer() override;
    // The output died under the run (timer thread): playing stops at once, with the message of
    // an output that cannot play, not at the next click.
    void OnClockLost() override;
    // Beats in a bar as the speed trainer counts them.
    virtual std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData& settings) = 0;
    // Builds the pattern from the settings. `primary` receives the pattern entries per beat
    // (0: one per beat), `secondary` the secondary subdivision (0 if none), `compound` whether
    // the pattern is played in compound time. Returns 0 or a custom pattern or rhythm code.
    virtual std::int32_t CreatePattern(Configuration::ConfigurationData& settings, std::int32_t& primary,
                                       std::int32_t& secondary, bool& compound) = 0;
    // Plays the clicks of one beat (or rhythm step); returns the voice the indicator shows for
    // it, or -1 when a click failed.
    virtual std::int32_t PlayBeat() = 0;
    // Where the beat the next PlayBeat() plays falls in its bar: 0 for the bar's first beat, -1
    // for a step between beats; `beats` receives the beats in the bar.
    virtual std::int32_t NextBarPlace(std::int32_t& beats) const noexcept = 0;

    // What the metronome fills in at start, before the timer runs.
    void SetHandler(IMetronomeEventHandler* handler) noexcept { _handler = handler; }
    IMetronomeEventHandler* GetHandler() const noexcept { return _handler; }
    void SetSoundEngine(ISoundEngine* engine) noexcept { _engine = engine; }
    ISoundEngine* GetSoundEngine() const noexcept { return _engine; }
    void SetTimerStrategy(ITimerStrategy* strategy) noexcept { _timerStrategy = strategy; }
    ITimerStrategy* GetTimerStrategy() const noexcept { return _timerStrategy; }
    // The timer that ticks this strategy, which it renews and stops from inside a tick.
    void SetTimer(ITimerControl* timer) noexcept { _timer = timer; }
    void SetIndicator(IBeatIndicator* indicator) noexcept { _indicator = indicator; }
    IBeatIndicator* GetIndicator() const noexcept { return _indicator; }
    void SetFlash(IBeatFlash* flash) noexcept { _flash = flash; }
    void SetVisual(bool visual) noexcept { _visual = visual; }
    bool IsVisual() const noexcept { return _visual; }
    void SetBeep(bool beep) noexcept { _beep = beep; }
    void SetWarmUp(bool warmUp) noexcept { _warmUp = warmUp; }
    bool HasWarmUp() const noexcept { return _warmUp; }
    // The user's tempo, reported when playing stops; rewritten while playing.
    void SetUserTempo(std::int32_t tempo) noexcept { _userTempo.store(tempo, std::memory_order_relaxed); }
    std::int32_t UserTempo() const noexcept { return _userTempo.load(std::memory_order_relaxed); }
    // The twelve click volumes: each voice's volume scaled by the global volume in percent
    // (127 at 50 % gives 63). May be called while playing; takes effect from the next click.
    void SetVolumes(const std::uint32_t (&volumes)[NumVoices], std::uint32_t globalVolume) noexcept;
    std::int32_t Volume(int voice) const noexcept;
    // What the engine plays for a voice: a MIDI note or an audio-file index.
    void SetSound(int voice, std::int32_t sound) noexcept;
    std::int32_t Sound(int voice) const noexcept;
    // Muted, the clicks are not played, and everything else goes on (the flash shows them). May
    // be called while playing.
    void SetMuted(bool muted) noexcept { _muted.store(muted, std::memory_order_relaxed); }
    // Practice of inner time: after `played` bars, `silent` bars that are only shown, again and
    // again, counted from the run's first bar (0 of either: every bar plays). May be called while
    // playing; takes effect from the next bar line.
    void SetMutedBars(std::int32_t played, std::int32_t silent) noexcept;
    // A run of `bars` whole bars (0: no end): the first beat of the bar after them is not played;
    // the handler hears BarsPlayed and the run ends as the speed trainer's does.
    void SetBarLimit(std::int32_t bars) noexcept { _barLimit = bars > 0 ? bars : 0; }
    // Asked at every bar line whether a run of its own goes on from there (null: none); a run
    // limited to some bars that is taken over ends without BarsPlayed, its output left open.
    void SetSuccessor(IBarLineSuccessor* successor) noexcept { _successor = successor; }
    void ResetPosition() noexcept
    {
        _position = 0;
        _beepPending = false;
        _countInTicksLeft = 0;
        _barsBegun = 0;
        _barsOfRun = 0;
        _silentBar = false;
        _gridPerBeat = 1;
    }
    // The count-in before the run: `beats` clicks of `sound` at `volume` (already scaled), one
    // every `ticksPerBeat` timer ticks from the first tick on, shown as the counts of a bar of
    // `beatsPerBar` beats. The run's own first tick follows one beat after the last click.
    // 0 beats: none. Set at start, after ResetPosition.
    void SetCountIn(std::int32_t beats, std::int32_t ticksPerBeat, std::int32_t beatsPerBar, std::int32_t sound,
                    std::int32_t volume) noexcept;
    // Ticks of count-in still to come (0 once the run itself plays).
    std::int32_t CountInTicksLeft() const noexcept { return _countInTicksLeft; }
    // A voice volume 0..127 scaled by the global volume in percent (127 at 50 % gives 63).
    static std::int32_t ScaledVolume(std::uint32_t volume, std::uint32_t globalVolume) noexcept;

    // Above this tempo Simple Beat, Beats Per Bar and Custom Pattern play the beats alone.
    static constexpr std::uint32_t FastestSubdivided = 300;
    // Whether `settings` ask for subdivisions (or compound time) that a run of theirs leaves out
    // for its tempo: the window tells the user so.
    static bool LeavesOutSubdivisions(const Configuration::ConfigurationData& settings) noexcept;
    // The voices the pattern made by CreatePattern plays, bit v for voice v: its beats' and its
    // subdivisions' (the trainer's beep and the count-in are the metronome's to add).
    std::uint32_t VoicesUsed() const noexcept;

    std::int32_t Position() const noexcept { return _position; }
    std::int32_t PatternLength() const noexcept { return _patternLength; }
    std::uint16_t PatternEntry(std::int32_t index) const noexcept;

protected:
    // Plays voice 0..11 through the engine, on the frame of the tick being delivered.
    bool PlayVoice(std::int32_t voice) noexcept;
    // Builds a pattern one beat long: the beat, then `primary` clicks of voice 4 and
    // `secondary` clicks of voice 5 spread evenly over it; `ordinary` and `middle` fill the
    // entries of a single subdivision, `middle` half-way through when the indicator is on.
    void BuildBeatPattern(std::int32_t primary, std::int32_t secondary, std::uint16_t ordinary,
                          std::uint16_t middle) noexcept;
    // The subdivisions for Simple Beat, Beats Per Bar and Custom Pattern: none above 300 bpm
    // (compound time neither), three in compound time, and one of two equal subdivisions.
    // Returns whether compound time stays on.
    static bool ChooseSubdivisions(const Configuration::ConfigurationData& settings, bool compound,
                                   std::int32_t& primary, std::int32_t& secondary) noexcept;
    // The voices the beats of the pattern play, bit v for voice v (none known: 0).
    virtual std::uint32_t BeatVoices() const noexcept { return 0; }
    // Whether the beat the next PlayBeat() plays lies in a bar the run itself leaves silent.
    virtual bool BarMuted() const noexcept { return false; }
    // An empty custom pattern or rhythm: one silent entry.
    void SetSilentPattern() noexcept;
    // Every click's volume in percent of its voice's (a song section's volume); timer thread,
    // or before the start.
    void SetVolumeScale(std::int32_t percent) noexcept { _volumeScale = percent; }
    // Inside OnTimer, after the base's: a run that went on from this one played the tick. From
    // then on the user-interface thread may prepare this object anew: nothing else may touch it.
    bool HandedOver() const noexcept { return _handedOver; }

    CustomText::PatternEntries _pattern{};
    std::int32_t _patternLength = 1;

private:
    bool PlayEntry(std::uint16_t entry) noexcept;
    // At a bar line: a run that goes on from here takes the tick, a run of its bars ends there,
    // else the bar begins, silent or not. False when this run plays no more.
    bool BeginBar() noexcept;
    void CountInTick() noexcept;
    bool PlayEntry(std::uint16_t entry, std::int32_t place, std::int32_t beats) noexcept;
    // Tells the flash of the entry just played (`place` and `beats` as NextBarPlace gave them).
    void PulseFlash(std::uint16_t entry, std::int32_t place, std::int32_t beats, std::int32_t shown) noexcept;
    void StopTimerAndOutput() noexcept;
    void StopWithError() noexcept;
    void StopWithError(std::uint32_t code) noexcept;
    void StopAtEnd() noexcept;

    IMetronomeEventHandler* _handler = nullptr;
    ISoundEngine* _engine = nullptr;
    ITimerStrategy* _timerStrategy = nullptr;
    ITimerControl* _timer = nullptr;
    IBeatIndicator* _indicator = nullptr;
    IBeatFlash* _flash = nullptr;
    std::atomic<bool> _muted{false};
    // The muted bars' pattern: played bars in the low half, silent ones in the high half.
    std::atomic<std::uint32_t> _mutedBars{0};
    std::int32_t _barsOfRun = 0;  // bar lines passed (timer thread)
    bool _silentBar = false;      // the bar playing is one of the muted bars' silent ones
    std::int32_t _gridPerBeat = 1;
    std::int32_t _barLimit = 0;
    std::int32_t _barsBegun = 0;
    bool _handedOver = false;  // the timer thread's alone
    IBarLineSuccessor* _successor = nullptr;
    std::atomic<std::int32_t> _volumes[NumVoices];
    std::int32_t _sounds[NumVoices];
    std::int32_t _position = 0;
    bool _visual = false;
    std::uint16_t _currentEntry = 0;
    TickTime _tick;  // the tick being delivered
    std::int32_t _volumeScale = 100;
    bool _beep = false;
    // A trainer beep waiting for the next beat click, so that it is heard on the beat.
    bool _beepPending = false;
    std::atomic<std::int32_t> _userTempo{0};
    bool _warmUp = false;
    // The count-in, counted down by the ticks it takes.
    std::int32_t _countInTicksLeft = 0;
    std::int32_t _countInTick = 0;
    std::int32_t _countInTicksPerBeat = 1;
    std::int32_t _countInBarBeats = 4;
    std::int32_t _countInSound = 0;
    std::int32_t _countInVolume = 0;
};

}  // namespace Core
