#include "Core/SpeedTrainerTimerStrategy.h"

#include <cmath>

#include "Core/SettingsRange.h"
#include "Core/TrainerCurveSelection.h"

namespace Core {

namespace {

constexpr std::uint16_t BeatBit = 0x0001;

// A stage timed in minutes counts at least one tick: a run too short for its number of stages
// (0.01 minutes from 60 to 120 bpm) would otherwise count to 0, which a count that starts at 1
// never reaches, and play its first tempo for ever.
std::int32_t AtLeastOneTick(std::int32_t ticks) noexcept
{
    return ticks < 1 ? 1 : ticks;
}

}  // namespace

double SpeedTrainerTimerStrategy::IntervalFor(float tempo) const noexcept
{
    // A start of 0 % gives a tempo of 0 (and a warm-down can end a little below it): such a
    // stage ticks as 1 bpm rather than at an infinite interval.
    const double bpm = tempo < 1.0f ? 1.0 : static_cast<double>(tempo);
    return 60000.0 / (bpm * _timerTicksPerBeat);
}

void SpeedTrainerTimerStrategy::SetTempoAndInterval(float tempo, double interval) noexcept
{
    _tempo.store(tempo, std::memory_order_relaxed);
    _interval.store(interval, std::memory_order_relaxed);
}

std::int32_t SpeedTrainerTimerStrategy::GetTempo()
{
    return static_cast<std::int32_t>(_tempo.load(std::memory_order_relaxed));
}

void SpeedTrainerTimerStrategy::Initialise(Configuration::ConfigurationData& settings)
{
    const std::uint32_t bpm = SettingsRange::Bpm(settings);
    const std::int32_t ticksPerBeat = SettingsRange::TicksPerBeat(settings);
    const bool visual = settings.VisualIndicator == 1;

    // The range handed to the curve.
    _range.Start = SettingsRange::From(settings) * static_cast<float>(bpm);
    _range.End = SettingsRange::To(settings) * static_cast<float>(bpm);
    _range.Range = static_cast<std::int32_t>(_range.End) - static_cast<std::int32_t>(_range.Start);
    float step = SettingsRange::Step(settings) * static_cast<float>(_range.Range);
    if (step > 0.0f && step < 1.0f)
        step = 1.0f;
    else if (step < 0.0f && step > -1.0f)
        step = -1.0f;
    _range.Step = step;

    const float tempo = _range.Start;
    _curve = settings.TrainerCurve != nullptr ? settings.TrainerCurve : &SelectTrainerCurve(settings);
    _stageIndex = 0;
    _tickInEntry = 0;

    // Timer ticks per beat and per pattern entry: at least two per entry, so that a length in
    // minutes is counted finely enough.
    const float t = static_cast<float>(ticksPerBeat);
    if (ticksPerBeat == 0) {
        _timerTicksPerBeat = 8.0;
        _timerTicksPerEntry = visual ? 4 : 8;
    } else if (t < 4.0f) {
        _timerTicksPerBeat = 4.0 * t;
        _timerTicksPerEntry = 4;
    } else {
        _timerTicksPerBeat = 2.0 * t;
        _timerTicksPerEntry = 2;
    }
    SetTempoAndInterval(tempo, IntervalFor(tempo));

    _stageCount = _curve->Initialise(_range);
    _warmDownStageCount = WarmDownStages;

    const std::int32_t beatsPerBar = SettingsRange::TrainerBeatsPerBar(settings);
    const std::int32_t p = ticksPerBeat == 0 ? 1 : ticksPerBeat;
    const float duration = SettingsRange::Duration(settings);
    const float warmup = SettingsRange::Warmup(settings);
    const float warmdown = SettingsRange::Warmdown(settings);
    _durationsInBars = settings.DurationsInBars != 0;
    if (_durationsInBars) {
        _stageLength = 0;
        _countedTicksInStage = -1;
        _countedTicksPerStage = static_cast<std::int32_t>(duration * static_cast<float>(beatsPerBar)) * p;
        _warmUpTicksLeft = static_cast<std::int32_t>(warmup * static_cast<float>(beatsPerBar)) * p;
        const float warmdownBeats = warmdown * static_cast<float>(beatsPerBar);
        _warmDownLength = static_cast<std::int32_t>(warmdownBeats * static_cast<float>(p));
    } else {
        // Duration is the length of the whole run, shared among the stages.
        const float runMs = duration * 60000.0f;
        const float stageMs = runMs / static_cast<float>(_stageCount);
        _stageLength = static_cast<std::int32_t>(stageMs);
        _countedTicksPerStage = AtLeastOneTick(static_cast<std::int32_t>(_stageLength / GetInterval().count()));
        const float warmupBeats = warmup * tempo;
        _warmUpTicksLeft = static_cast<std::int32_t>(warmupBeats * _timerTicksPerBeat);
        const float warmdownStageMs = 60000.0f * warmdown / 4.0f;
        _warmDownLength = static_cast<std::int32_t>(warmdownStageMs);
        _countedTicksInStage = 0;
    }
    _warmUpPending = _warmUpTicksLeft > 0;
}

std::int32_t SpeedTrainerTimerStrategy::OnTick(std::uint16_t entry)
{
    const bool first = _tickInEntry == 0;
    if (++_tickInEntry == _timerTicksPerEntry)
        _tickInEntry = 0;

    std::int32_t result = first ? Advance : 0;
    // With durations in minutes every timer tick counts; in bars, one count per beat entry.
    const bool counted = _stageLength > 0 || (first && (entry & BeatBit) != 0);

    if (_warmUpTicksLeft != 0) {
        if (counted)
            --_warmUpTicksLeft;
        return result;
    }
    // The warm-up ends on the next counted tick: in bars, the first beat after it, so that its
    // beep sounds with the click of the bar line.
    if (_warmUpPending && counted) {
        _warmUpPending = false;
        ++_countedTicksInStage;
        return result | WarmupEnded;
    }
    if (!counted)
        return result;
    // A stage of no ticks (a bar of no beats) is never left.
    if (++_countedTicksInStage != _countedTicksPerStage || _countedTicksPerStage == 0)
        return result;

    ++_stageIndex;
    if (_stageIndex < _stageCount) {
        const float tempo = _curve->NextTempo();
        _countedTicksInStage = 0;
        const double interval = IntervalFor(tempo);
        SetTempoAndInterval(tempo, interval);
        if (_stageLength != 0) {
            const float ticks = static_cast<float>(_stageLength / interval);
            _countedTicksPerStage = AtLeastOneTick(static_cast<std::int32_t>(ticks));
        }
        return result | TempoChanged;
    }
    if (_warmDownLength != 0)
        return result | BeginWarmDown();
    return result | TrainerEnded;
}

std::int32_t SpeedTrainerTimerStrategy::BeginWarmDown()
{
    const float tempo = _curve->BeginWarmDown(_warmDownStageCount);
    // Only this first warm-down interval is whole milliseconds; later ones come from the stages.
    const float bpm = tempo < 1.0f ? 1.0f : tempo;
    const std::int32_t ticksPerMinute = static_cast<std::int32_t>(bpm * _timerTicksPerBeat);
    const double interval = static_cast<double>(60000 / ticksPerMinute);
    SetTempoAndInterval(tempo, interval);

    if (_durationsInBars) {
        _countedTicksPerStage = _warmDownLength;
    } else {
        _stageLength = _warmDownLength;
        const float ticks = static_cast<float>(_stageLength / interval);
        _countedTicksPerStage = AtLeastOneTick(static_cast<std::int32_t>(ticks));
    }
    _stageCount = _warmDownStageCount;
    _stageIndex = 0;
    _countedTicksInStage = 0;
    // The end of the warm-down ends the run.
    _warmDownLength = 0;
    return TempoChanged | WarmdownStarted;
}

}  // namespace Core
