#include "Platform/Clock.h"

#include <cerrno>
#include <ctime>

namespace Platform {

std::int64_t Clock::Now() noexcept
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

void Clock::SleepUntil(std::int64_t time) noexcept
{
    const timespec until{static_cast<time_t>(time / 1000000000LL), static_cast<long>(time % 1000000000LL)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {}
}

}  // namespace Platform
