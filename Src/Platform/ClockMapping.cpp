#include "Platform/ClockMapping.h"

#include <algorithm>
#include <cmath>

namespace Platform {

void ClockMapping::Reset(double sampleRate) noexcept
{
    _sampleRate = sampleRate;
    _state.framePeriod = 1e9 / sampleRate;
    _observations = 0;
    _elapsed = 0;
    _restarts = 0;
}

// Wide at first so that the loop locks within a second, then narrowing as 1/t, so that the
// loop averages over all it has seen so far (the jitter of the readings, often a millisecond or
// more through a sound server, is averaged away), down to a floor that still follows slow
// changes of the output's rate. A frequency error is followed without a lasting phase error at
// any bandwidth, since the loop is of second order.
double ClockMapping::Bandwidth() const noexcept
{
    return std::max(MinBandwidth, StartBandwidth / (1.0 + _elapsed));
}

void ClockMapping::Observe(std::int64_t frame, std::int64_t time) noexcept
{
    if (_observations > 0 && frame > _state.baseFrame) {
        const double frames = static_cast<double>(frame - _state.baseFrame);
        const double predicted = _state.baseTime + frames * _state.framePeriod;
        const double error = static_cast<double>(time - _state.origin) - predicted;
        if (std::fabs(error) <= RestartThresholdNs) {
            const double interval = frames * _state.framePeriod * 1e-9;  // seconds since the last reading
            const double omega = 2.0 * M_PI * Bandwidth() * interval;
            _state.baseTime = predicted + std::sqrt(2.0) * omega * error;
            _state.framePeriod += omega * omega * error / frames;
            _state.baseFrame = frame;
            _elapsed += interval;
            ++_observations;
            return;
        }
        ++_restarts;
    } else if (_observations > 0) {
        return;  // the same frame again (or an older one) tells nothing new
    }
    // Start (or start over): this reading is taken as it is, at the nominal rate once nothing
    // better is known.
    // After a jump the rate learnt so far still holds: only the phase starts over, so the loop
    // need not open as wide as at the very start.
    _elapsed = _observations == 0 ? 0.0 : std::min(_elapsed, RestartSettledSeconds);
    if (_observations == 0)
        _state.framePeriod = 1e9 / _sampleRate;
    _state.origin = time;
    _state.baseTime = 0;
    _state.baseFrame = frame;
    _observations = 1;
}

double ClockMapping::FrameAt(std::int64_t time) const noexcept
{
    return _state.FrameAt(time);
}

double ClockMapping::TimeAt(std::int64_t frame) const noexcept
{
    return _state.TimeAt(static_cast<double>(frame));
}

}  // namespace Platform
