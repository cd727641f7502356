#include "Core/HeardTime.h"

#include <algorithm>

#include "Platform/Clock.h"

namespace Core {

namespace {
constexpr std::chrono::nanoseconds LongestNap = std::chrono::milliseconds(5);
}

HeardClock::time_point HeardClock::now() noexcept
{
    return time_point(duration(Platform::Clock::Now()));
}

bool HeardTime::WaitUntil(Moment heardAt, const std::function<bool()>& keepWaiting)
{
    Moment now = Now();
    if (heardAt <= Moment() || heardAt - now > LongestWait)
        return keepWaiting();
    while (now < heardAt) {
        if (!keepWaiting())
            return false;
        Platform::Clock::SleepUntil(std::min(heardAt, now + LongestNap).time_since_epoch().count());
        now = Now();
    }
    return keepWaiting();
}

}  // namespace Core
