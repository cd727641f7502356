#include "Core/HeardTime.h"

#include <algorithm>

#include "Platform/Clock.h"

namespace Core {

namespace {
constexpr std::int64_t LongestNap = 5'000'000;
}

bool HeardTime::WaitUntil(std::int64_t heardAt, const std::function<bool()>& keepWaiting)
{
    std::int64_t now = Platform::Clock::Now();
    if (heardAt <= 0 || heardAt - now > LongestWait)
        return keepWaiting();
    while (now < heardAt) {
        if (!keepWaiting())
            return false;
        Platform::Clock::SleepUntil(std::min(heardAt, now + LongestNap));
        now = Platform::Clock::Now();
    }
    return keepWaiting();
}

std::int64_t HeardTime::Now() noexcept
{
    return Platform::Clock::Now();
}

}  // namespace Core
