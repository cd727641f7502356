#include "Core/HeardTime.h"

#include <algorithm>
#include <atomic>

#include "Platform/Clock.h"

namespace Core {

namespace {
// The longest sleep between two looks whether the wait is to end (a stop waits for it at most).
constexpr std::chrono::nanoseconds LongestNap = std::chrono::milliseconds(20);
std::atomic<int> visualOffsetMs{0};
}  // namespace

HeardClock::time_point HeardClock::now() noexcept
{
    return time_point(duration(Platform::Clock::Now()));
}

bool HeardTime::WaitUntil(Moment heardAt, const std::function<bool()>& keepWaiting)
{
    Moment now = Now();
    if (AtOnce(heardAt, now))
        return keepWaiting();
    while (now < heardAt) {
        if (!keepWaiting())
            return false;
        Platform::Clock::SleepUntil(std::min(heardAt, now + LongestNap).time_since_epoch().count());
        now = Now();
    }
    return keepWaiting();
}

bool HeardTime::WaitToShow(Moment heardAt, const std::function<bool()>& keepWaiting)
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

Moment HeardTime::SeenAt(Moment heardAt) noexcept
{
    if (heardAt <= Moment())
        return heardAt;
    const Moment seen = heardAt + std::chrono::milliseconds(VisualOffsetMs());
    return seen > Moment() ? seen : Moment(std::chrono::nanoseconds(1));
}

}  // namespace Core
