#include "GUI/Model/PracticeTime.h"

#include <cstdio>

namespace GUI {

void PracticeTime::Start(Core::Moment now) noexcept
{
    if (_running)
        Stop(now);
    _running = true;
    _paused = false;
    _since = now;
    _counted = Duration{0};
}

void PracticeTime::Pause(Core::Moment now) noexcept
{
    if (!_running || _paused)
        return;
    _counted = Run(now);
    _paused = true;
}

void PracticeTime::Resume(Core::Moment now) noexcept
{
    if (!_running || !_paused)
        return;
    _paused = false;
    _since = now;
}

PracticeTime::Duration PracticeTime::Run(Core::Moment now) const noexcept
{
    if (!_running)
        return Duration{0};
    // A clock read out of order never takes time away.
    return _paused || now < _since ? _counted : _counted + (now - _since);
}

double PracticeTime::Stop(Core::Moment now) noexcept
{
    const Duration run = Run(now);
    _running = false;
    _paused = false;
    _counted = Duration{0};
    _finished += run;
    return std::chrono::duration<double, std::ratio<60>>(run).count();
}

std::int64_t PracticeTime::SessionSeconds(Core::Moment now) const noexcept
{
    return std::chrono::duration_cast<std::chrono::seconds>(_finished + Run(now)).count();
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
