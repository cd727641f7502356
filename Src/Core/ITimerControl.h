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
};

}  // namespace Core
