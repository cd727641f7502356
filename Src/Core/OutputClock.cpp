#include "Core/OutputClock.h"

#include "Platform/AudioOutput.h"
#include "Platform/AutoResetEvent.h"
#include "Platform/Clock.h"

namespace Core {

OutputClock& OutputClock::Instance()
{
    static OutputClock clock(Platform::AudioOutput::Instance());
    return clock;
}

bool OutputClock::Available() const noexcept
{
    return _output.Running();
}

std::int64_t OutputClock::Now()
{
    return _output.LeadFrame();
}

double OutputClock::Frequency()
{
    return _output.SampleRate();
}

void OutputClock::Wait(Platform::AutoResetEvent& event, int milliseconds)
{
    // In slices, so that an output that dies meanwhile ends the wait within one.
    for (int left = milliseconds; left > 0 || milliseconds == 0; left -= WatchSliceMs) {
        if (event.Wait(left < WatchSliceMs ? left : WatchSliceMs) || !_output.Running() || milliseconds == 0)
            return;
    }
}

void OutputClock::HoldStart()
{
    _output.HoldNextStart();
}

void OutputClock::Begun()
{
    _output.Play();
}

bool OutputClock::Lost()
{
    return !_output.Running();
}

void OutputClock::SleepUntil(std::int64_t frame)
{
    // Only the last stretch before a tick is slept through unwoken: an output whose frames stand
    // still (its server gone) must not keep the worker from a stop.
    const std::int64_t latest = Platform::Clock::Now() + LongestSleepNs;
    const std::int64_t handOver = _output.HandOverTime(frame);
    Platform::Clock::SleepUntil(handOver < latest ? handOver : latest);
}

Moment OutputClock::HeardAt(std::int64_t due)
{
    return Moment(std::chrono::nanoseconds(_output.HeardAt(due)));
}

double OutputClock::FrameHeardAt(Moment moment)
{
    return _output.FrameHeardAt(moment.time_since_epoch().count());
}

}  // namespace Core
