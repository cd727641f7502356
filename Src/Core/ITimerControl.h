#pragma once

#include "Core/TickTime.h"

namespace Core {

// What a tick handler may do to the timer that drives it, from inside its tick: renew the
// interval (a speed-trainer tempo change), stop it (the end of a run, a failed click), and see
// whether it still runs.
class ITimerControl {
public:
    virtual ~ITimerControl() = default;
    virtual bool SetInterval(Interval interval) = 0;
    virtual void Stop() = 0;
    virtual bool IsRunning() const = 0;
    // The tick being delivered (valid inside the tick): where its clicks go, when it is heard.
    virtual TickTime CurrentTick() const = 0;
    // From inside the tick: the next tick falls at `next` from the run's origin, this one being
    // at `current` (the first such call after a start fixes the origin, so a resumed run keeps
    // its spacing). For runs whose ticks are not evenly spaced; each call places one tick.
    virtual void PlaceNextTick(Interval /*current*/, Interval /*next*/) {}
    // From inside the tick: the next tick is due when the timer's clock reads `due`.
    virtual void PlaceNextTickAt(std::int64_t /*due*/) {}
};

}  // namespace Core
