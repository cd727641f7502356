#include "Platform/AutoResetEvent.h"

#include <chrono>

namespace Platform {

bool AutoResetEvent::Set()
{
    {
        std::lock_guard lock(_mutex);
        _signalled = true;
    }
    _condition.notify_one();
    return true;
}

void AutoResetEvent::Reset()
{
    std::lock_guard lock(_mutex);
    _signalled = false;
}

bool AutoResetEvent::Wait(int timeoutMs)
{
    std::unique_lock lock(_mutex);
    // A wait of no time only looks: the condition's timed wait would still enter the kernel.
    if (timeoutMs < 0)
        _condition.wait(lock, [this] { return _signalled; });
    else if (timeoutMs > 0)
        _condition.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return _signalled; });
    const bool signalled = _signalled;
    _signalled = false;
    return signalled;
}

}  // namespace Platform
