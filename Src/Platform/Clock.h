#pragma once

#include <cstdint>

namespace Platform {

// The monotonic high-resolution clock every timing decision is made on.
// Readings are nanoseconds of CLOCK_MONOTONIC, so the frequency is 1e9 counts per second.
class Clock {
public:
    static constexpr double Frequency = 1e9;
    static std::int64_t Now() noexcept;

    // The time an event made on this thread belongs to. The timer thread sets it to the due
    // time of the tick it is delivering, so sound started from a tick is placed on the tick's
    // grid time however late the thread woke; elsewhere it is the current time.
    static std::int64_t EventTime() noexcept;
    static void SetEventTime(std::int64_t time) noexcept;
    static void ClearEventTime() noexcept;
};

}  // namespace Platform
