#include "Core/StandardTimerStrategy.h"

#include "Core/SettingsRange.h"

namespace Core {

void StandardTimerStrategy::Initialise(Configuration::ConfigurationData& settings)
{
    _tempo.store(static_cast<std::int32_t>(SettingsRange::Bpm(settings)), std::memory_order_relaxed);
    _ticksPerBeat = SettingsRange::TicksPerBeat(settings);
    _visual = settings.VisualIndicator == 1;
}

void StandardTimerStrategy::SetTempo(std::int32_t bpm)
{
    _tempo.store(SettingsRange::ClampSigned(bpm, 10, 400), std::memory_order_relaxed);
}

std::int32_t StandardTimerStrategy::TimerTicksPerBeat()
{
    // As GetInterval divides the beat.
    if (_ticksPerBeat != 0)
        return _ticksPerBeat;
    return _visual ? 2 : 1;
}

Interval StandardTimerStrategy::GetInterval()
{
    const double tempo = GetTempo();
    if (_ticksPerBeat != 0)
        return Interval(60000.0 / (tempo * _ticksPerBeat));
    // Without subdivisions the pattern has two entries per beat when the indicator is on:
    // the beat, and half a beat later the entry that turns the indicator off.
    if (_visual)
        return Interval(30000.0 / tempo);
    return Interval(60000.0 / tempo);
}

}  // namespace Core
