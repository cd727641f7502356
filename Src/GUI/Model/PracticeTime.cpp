#include "GUI/Model/PracticeTime.h"

#include <cstdio>

namespace GUI {

namespace {
constexpr std::int64_t NsPerSecond = 1'000'000'000;
}

void PracticeTime::Start(std::int64_t now) noexcept
{
    if (_running)
        Stop(now);
    _running = true;
    _paused = false;
    _since = now;
    _counted = 0;
}

void PracticeTime::Pause(std::int64_t now) noexcept
{
    if (!_running || _paused)
        return;
    _counted = RunNs(now);
    _paused = true;
}

void PracticeTime::Resume(std::int64_t now) noexcept
{
    if (!_running || !_paused)
        return;
    _paused = false;
    _since = now;
}

std::int64_t PracticeTime::RunNs(std::int64_t now) const noexcept
{
    if (!_running)
        return 0;
    // A clock read out of order never takes time away.
    return _paused || now < _since ? _counted : _counted + (now - _since);
}

double PracticeTime::Stop(std::int64_t now) noexcept
{
    const std::int64_t run = RunNs(now);
    _running = false;
    _paused = false;
    _counted = 0;
    _finished += run;
    return static_cast<double>(run) / (60.0 * NsPerSecond);
}

std::int64_t PracticeTime::SessionSeconds(std::int64_t now) const noexcept
{
    return (_finished + RunNs(now)) / NsPerSecond;
}

std::string PracticeTime::Clock(std::int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return text;
}

}  // namespace GUI
