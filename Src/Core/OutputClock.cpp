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
    event.Wait(milliseconds);
}

void OutputClock::SleepUntil(std::int64_t frame)
{
    Platform::Clock::SleepUntil(_output.HandOverTime(frame));
}

Moment OutputClock::HeardAt(std::int64_t due)
{
    return Moment(std::chrono::nanoseconds(_output.HeardAt(due)));
}

}  // namespace Core
