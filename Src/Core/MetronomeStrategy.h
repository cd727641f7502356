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
    // How long the last click of a run that ends by itself may ring before the devices close.
    static constexpr std::chrono::nanoseconds LastClickRing = std::chrono::milliseconds(200);

    MetronomeStrategy() noexcept;
    ~MetronomeStrategy() override = default;
    MetronomeStrategy(const MetronomeStrategy&) = delete;
    MetronomeStrategy& operator=(const MetronomeStrategy&) = delete;

    // One tick, on the timer thread.
    void OnTimer() override;
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
    void ResetPosition() noexcept
    {
        _position = 0;
        _beepPending = false;
    }

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
    // An empty custom pattern or rhythm: one silent entry.
    void SetSilentPattern() noexcept;

    CustomText::PatternEntries _pattern{};
    std::int32_t _patternLength = 1;

private:
    bool PlayEntry(std::uint16_t entry) noexcept;
    void StopTimerAndOutput() noexcept;
    void StopWithError() noexcept;
    void StopAtEnd() noexcept;

    IMetronomeEventHandler* _handler = nullptr;
    ISoundEngine* _engine = nullptr;
    ITimerStrategy* _timerStrategy = nullptr;
    ITimerControl* _timer = nullptr;
    IBeatIndicator* _indicator = nullptr;
    std::atomic<std::int32_t> _volumes[NumVoices];
    std::int32_t _sounds[NumVoices];
    std::int32_t _position = 0;
    bool _visual = false;
    std::uint16_t _currentEntry = 0;
    TickTime _tick;  // the tick being delivered
    bool _beep = false;
    // A trainer beep waiting for the next beat click, so that it is heard on the beat.
    bool _beepPending = false;
    std::atomic<std::int32_t> _userTempo{0};
    bool _warmUp = false;
};

}  // namespace Core
