#pragma once

#include <cstdint>

namespace Core {

// Receives the timer's ticks, on the timer thread.
class ITimerEventHandler {
public:
    virtual ~ITimerEventHandler() = default;
    virtual void OnTimer() = 0;
    // The timer's clock was lost (the output it counts died); the worker ends after this call.
    virtual void OnClockLost() {}
    // Shortly before a tick placed by PlaceNextTickAt is due (timer thread): where it falls now.
    // A handler that follows a timeline others change places it anew here, from what the
    // timeline says at the last moment; `due` unchanged keeps it.
    virtual void BeforePlacedTick(std::int64_t& /*due*/) {}
};

}  // namespace Core
