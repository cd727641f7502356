#include "Core/StepSequencerTimerStrategy.h"

#include "Core/SettingsRange.h"

namespace Core {

void StepSequencerTimerStrategy::Initialise(Configuration::ConfigurationData& settings)
{
    const std::int32_t bpm = static_cast<std::int32_t>(SettingsRange::Bpm(settings));
    const std::int32_t ticksPerBeat = SettingsRange::TicksPerBeat(settings);
    _tempo.store(bpm, std::memory_order_relaxed);

    // Fewer sub-steps the faster the steps come: slow tempos and few steps per beat get the
    // finest cursor movement.
    const bool fineSteps = ticksPerBeat > 2;
    if (bpm < 50)
        _subStepsPerStep = fineSteps ? 16 : 20;
    else if (bpm < 100)
        _subStepsPerStep = fineSteps ? 12 : 16;
    else if (bpm < 200)
        _subStepsPerStep = fineSteps ? 8 : 12;
    else
        _subStepsPerStep = fineSteps ? 4 : 8;

    _subStep = 0;
    _timerTicksPerBeat = ticksPerBeat != 0 ? ticksPerBeat * _subStepsPerStep : _subStepsPerStep;
}

void StepSequencerTimerStrategy::SetTempo(std::int32_t bpm)
{
    _tempo.store(SettingsRange::ClampSigned(bpm, 10, 400), std::memory_order_relaxed);
}

Interval StepSequencerTimerStrategy::GetInterval()
{
    return Interval(60000.0 / (static_cast<double>(_timerTicksPerBeat) * GetTempo()));
}

std::int32_t StepSequencerTimerStrategy::OnTick(std::uint16_t)
{
    const std::int32_t subStep = _subStep;
    if (++_subStep == _subStepsPerStep)
        _subStep = 0;
    return subStep == 0 ? (Advance | SubStep) : SubStep;
}

}  // namespace Core
