#pragma once

#include <chrono>
#include <cstdint>

namespace Platform {

// The monotonic high-resolution clock every timing decision is made on.
// Readings are nanoseconds of CLOCK_MONOTONIC, so the frequency is 1e9 counts per second.
class Clock {
public:
    static constexpr double Frequency = 1e9;
    // A span of time on this clock: its readings differ by the span's count.
    using Duration = std::chrono::nanoseconds;
    static std::int64_t Now() noexcept;
    // Sleeps until the clock reads `time` (at once if it has passed).
    static void SleepUntil(std::int64_t time) noexcept;
    static void SleepFor(Duration span) noexcept { SleepUntil(Now() + span.count()); }
};

}  // namespace Platform
