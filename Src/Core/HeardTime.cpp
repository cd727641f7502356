#include "Core/HeardTime.h"

#include <algorithm>
#include <atomic>

#include "Platform/Clock.h"

namespace Core {

namespace {
constexpr std::int64_t LongestNap = 5'000'000;
std::atomic<int> visualOffsetMs{0};
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

bool HeardTime::WaitToShow(std::int64_t heardAt, const std::function<bool()>& keepWaiting)
{
    return WaitUntil(SeenAt(heardAt), keepWaiting);
}

void HeardTime::SetVisualOffsetMs(int milliseconds) noexcept
{
    visualOffsetMs.store(std::clamp(milliseconds, -LargestOffsetMs, LargestOffsetMs), std::memory_order_relaxed);
}

int HeardTime::VisualOffsetMs() noexcept
{
    return visualOffsetMs.load(std::memory_order_relaxed);
}

std::int64_t HeardTime::SeenAt(std::int64_t heardAt) noexcept
{
    if (heardAt <= 0)
        return heardAt;
    const std::int64_t seen = heardAt + static_cast<std::int64_t>(VisualOffsetMs()) * 1'000'000;
    return seen > 0 ? seen : 1;
}

std::int64_t HeardTime::Now() noexcept
{
    return Platform::Clock::Now();
}

}  // namespace Core
