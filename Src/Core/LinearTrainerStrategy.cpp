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
    float step = static_cast<float>(range) / static_cast<float>(n);
    for (int attempt = 0; attempt < 5; ++attempt) {
        float x = static_cast<float>(a);
        for (std::int32_t i = 0; i < n; ++i)
            x = x + step;
        const std::int32_t reached = static_cast<std::int32_t>(x);
        if (reached == b)
            break;
        step = reached < b ? step + adjust : step - adjust;
    }
    return step;
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
    _step = (_range > 0 && stages > 0) ? static_cast<float>(-_range) / static_cast<float>(stages) : 0.0f;
    _final.Disarm();
    _tempo = _tempo + _step;
    return _tempo;
}

}  // namespace Core
