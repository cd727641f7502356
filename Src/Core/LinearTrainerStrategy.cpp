#include "Core/LinearTrainerStrategy.h"

namespace Core {

namespace {

// Nudges the step up or down by half a beat per minute over the run until n steps from the
// start's whole number land on the end's whole number (at most five tries).
float FitStep(std::int32_t range, std::int32_t n, float start, float end)
{
    const std::int32_t a = static_cast<std::int32_t>(start);
    const std::int32_t b = static_cast<std::int32_t>(end);
    const float adjust = static_cast<float>(0.5 / n);
    return FitInFivePasses(static_cast<float>(range) / static_cast<float>(n), [&](float step) -> std::optional<float> {
        const std::int32_t reached = WholeTempoAfter(a, n, [step](float x) { return x + step; });
        if (reached == b)
            return std::nullopt;
        return reached < b ? step + adjust : step - adjust;
    });
}

}  // namespace

std::int32_t LinearTrainerStrategy::Initialise(const TrainerRange& range)
{
    _range = range.Range;
    _tempo = range.Start;
    _final.Disarm();
    _step = 0.0f;
    const std::int32_t n = range.Steps();
    // The selection never gives fewer than one step; a caller that does gets a single stage.
    if (n < 1)
        return 1;
    _step = FitStep(range.Range, n, range.Start, range.End);
    _final.Arm(range.End, n);
    return n + 1;
}

float LinearTrainerStrategy::NextTempo()
{
    _tempo = _tempo + _step;
    _tempo = _final.Land(_tempo);
    return _tempo;
}

float LinearTrainerStrategy::BeginWarmDown(std::int32_t stages)
{
    _step = WarmDownStep(_range, stages);
    _final.Disarm();
    _tempo = _tempo + _step;
    return _tempo;
}

}  // namespace Core
