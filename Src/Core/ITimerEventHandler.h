#pragma once

namespace Core {

// Receives the timer's ticks, on the timer thread.
class ITimerEventHandler {
public:
    virtual ~ITimerEventHandler() = default;
    virtual void OnTimer() = 0;
    // The timer's clock was lost (the output it counts died); the worker ends after this call.
    virtual void OnClockLost() {}
};

}  // namespace Core
