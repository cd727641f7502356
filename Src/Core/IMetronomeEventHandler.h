#pragma once

#include <cstdint>

#include "Core/HeardTime.h"

namespace Core {

// What the metronome reports to the window that started it.
class IMetronomeEventHandler {
public:
    // Event bits of OnTimerEvent.
    static constexpr std::int32_t TempoChanged = 1;
    static constexpr std::int32_t WarmupEnded = 2;
    static constexpr std::int32_t WarmdownStarted = 4;
    static constexpr std::int32_t SubStep = 8;
    // The bars a run was limited to are played; the run ends as the trainer's does.
    static constexpr std::int32_t BarsPlayed = 16;
    // A bar of a song begins (tempo: as heard there); Metronome::SongHeard says where.
    static constexpr std::int32_t SongBar = 32;

    virtual ~IMetronomeEventHandler() = default;
    // On the user-interface thread, inside Start, before the first tick.
    virtual void OnSpeedTrainerStarted(std::int32_t tempo, bool hasWarmUp) = 0;
    // On the timer thread, after a tick that reported events; tempo is 0 unless TempoChanged.
    // heardAt: when the tick is heard.
    virtual void OnTimerEvent(std::int32_t events, std::int32_t tempo, Moment heardAt) = 0;
    // After Stop (user-interface thread) or an internal stop (timer thread).
    virtual void OnStopped(std::int32_t tempo) = 0;
    // On the timer thread, right after OnStopped, with a message identifier of the language object.
    virtual void OnError(std::int32_t messageId) = 0;
    // On the timer thread, at the tick where a run given to IMetronome::Continue took over from
    // the one before: `tag` as given there, `tempo` the new run's first (integer part), heardAt
    // when its first click is heard. Before any event of the new run.
    virtual void OnContinued(std::int32_t /*tag*/, std::int32_t /*tempo*/, Moment /*heardAt*/) {}
};

}  // namespace Core
