#pragma once

#include <atomic>
#include <cstdint>

#include "Platform/Clock.h"

namespace Platform {

// What the streams on a desktop sound server (through libpulse or libpipewire) do alike.
namespace ServerStreams {

// The rate a stream plays at on a sink (or graph) running at `rate`: 44.1 and 48 kHz as they
// are, any other the nearest of their family, which the server converts to.
inline double PlayedRate(double rate) noexcept
{
    for (const double played : {44100.0, 48000.0})
        if (rate == played)
            return played;
    return rate > 0 && static_cast<std::uint32_t>(rate) % 48000 == 0 ? 48000 : 44100;
}

// With a client's loop locked: waits until `done` holds, `failed` is set or `timeout` is over.
// The loop's thread runs the events meanwhile (`unlock` and `lock` let it); a short nap keeps a
// server that does not answer from holding the caller for longer than the time-out.
template <typename Done, typename Unlock, typename Lock>
bool WaitUnlocked(Done done, Clock::Duration timeout, const std::atomic<bool>& failed, Unlock unlock, Lock lock)
{
    const std::int64_t giveUp = Clock::Now() + timeout.count();
    while (!done()) {
        if (failed.load(std::memory_order_acquire) || Clock::Now() > giveUp)
            return false;
        unlock();
        Clock::SleepFor(std::chrono::microseconds(200));
        lock();
    }
    return true;
}

}  // namespace ServerStreams

}  // namespace Platform
