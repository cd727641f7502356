#pragma once

#include <cstdint>

#include "Core/TickTime.h"

namespace Configuration {
class ConfigurationData;
}

namespace Core {

// Decides how fast the timer ticks and what each tick means for the beat pattern.
class ITimerStrategy {
public:
    // Result bits of OnTick. The low 8 bits are passed on to the event handler.
    static constexpr std::int32_t Advance = 0x1000;       // play the due entry, then move on
    static constexpr std::int32_t TrainerEnded = 0x2000;  // the speed-training run is over
    static constexpr std::int32_t TempoChanged = 0x01;
    static constexpr std::int32_t WarmupEnded = 0x02;
    static constexpr std::int32_t WarmdownStarted = 0x04;  // always with TempoChanged
    static constexpr std::int32_t SubStep = 0x08;
    // 0x10 is the beat strategy's own event (IMetronomeEventHandler::BarsPlayed), never OnTick's.
    static constexpr std::int32_t SongBar = 0x20;  // a song's bar begins: its place and tempo are heard
    static constexpr std::int32_t EventBits = 0xFF;

    virtual ~ITimerStrategy() = default;
    // Prepares a run from the settings, including the run-time fields the start wrote.
    virtual void Initialise(Configuration::ConfigurationData& settings) = 0;
    // The time between two ticks.
    virtual Interval GetInterval() = 0;
    virtual std::int32_t GetTempo() = 0;
    virtual void SetTempo(std::int32_t bpm) = 0;
    // True when the strategy owns the tempo (the user cannot change it while it plays).
    virtual bool ControlsTempo() = 0;
    // Called on the timer thread once per tick with the pattern entry that is due.
    virtual std::int32_t OnTick(std::uint16_t entry) = 0;
    // Timer ticks in one beat at the tempo the run starts with (after Initialise): the count-in
    // plays one click every so many ticks, on the run's own grid.
    virtual std::int32_t TimerTicksPerBeat() = 0;
    // For a run whose ticks are not evenly spaced (a song's ramps and changing meters), after
    // OnTick: where the tick just delivered and the next one fall, exactly, from a fixed origin
    // of the run. The timer places the next tick there. False: the even grid of GetInterval.
    virtual bool PlaceTick(Interval& /*current*/, Interval& /*next*/) { return false; }
    // True when the run's end (TrainerEnded) falls where the next bar's first beat would: a run
    // waiting to go on takes over there (a song's end), instead of playing stopping.
    virtual bool EndsOnBarLine() { return false; }
};

}  // namespace Core
