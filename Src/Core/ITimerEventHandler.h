#pragma once

namespace Core {

// Receives the timer's ticks, on the timer thread.
class ITimerEventHandler {
public:
    virtual ~ITimerEventHandler() = default;
    virtual void OnTimer() = 0;
};

}  // namespace Core
