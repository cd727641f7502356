#include "Platform/Clock.h"

#include <ctime>

namespace Platform {

std::int64_t Clock::Now() noexcept
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

namespace {
thread_local std::int64_t eventTime = 0;
thread_local bool eventTimeSet = false;
}  // namespace

std::int64_t Clock::EventTime() noexcept
{
    return eventTimeSet ? eventTime : Now();
}

void Clock::SetEventTime(std::int64_t time) noexcept
{
    eventTime = time;
    eventTimeSet = true;
}

void Clock::ClearEventTime() noexcept
{
    eventTimeSet = false;
}

}  // namespace Platform
