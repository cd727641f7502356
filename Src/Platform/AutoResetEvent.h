#pragma once

#include <condition_variable>
#include <mutex>

namespace Platform {

// An event that wakes one waiter and resets itself as that waiter returns.
class AutoResetEvent {
public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    // Signals the event; a waiter (now or later) returns at once.
    bool Set();
    // Clears a pending signal.
    void Reset();
    // Waits until signalled or until the time-out passes; true when signalled.
    // The signal is consumed. A negative time-out waits without limit.
    bool Wait(int timeoutMs);

private:
    std::mutex _mutex;
    std::condition_variable _condition;
    bool _signalled = false;
};

}  // namespace Platform
