#include "Core/LogarithmicTrainerStrategy.h"

#include <cmath>
#include <cstdlib>

namespace Core {

namespace {

// The tempo one stage on: moved by the step, which then shrinks by the ratio (while `shrinking`);
// a step below 1 bpm gives way to whole beats per minute, up when `rising`.
float NextStage(float tempo, float& step, float& ratio, bool shrinking, bool rising) noexcept
{
    if (static_cast<std::int32_t>(step) == 0) {
        ratio = 1.0f;
        step = rising ? 1.0f : -1.0f;
        return static_cast<float>(static_cast<std::int32_t>(tempo)) + step;
    }
    tempo = tempo + step;
    if (shrinking)
        step = step * ratio;
    return tempo;
}

// Finds the ratio by which the first step shrinks at each stage so that the whole numbers
// of n stages add up to the range: a first guess that would shrink the step to 1 bpm, then
// up to five corrections from a simulated run. The arithmetic is 32-bit float throughout,
// as the stages themselves are computed.
float FitRatio(std::int32_t range, std::int32_t n, float firstStep, float start, float end)
{
    const std::int32_t a = static_cast<std::int32_t>(start);
    const std::int32_t b = static_cast<std::int32_t>(end);
    const std::int32_t target = range > 0 ? b : a;
    const std::int32_t divisor = 2 * target;

    const float base = std::fabs(1.0f / firstStep);
    const float exponent = 1.0f / static_cast<float>(n);
    float ratio = std::pow(base, exponent);
    if (n < 10) {
        if (std::abs(range) > 100)
            ratio = static_cast<float>(ratio * 1.3);
        else if (std::abs(range) > 50)
            ratio = static_cast<float>(ratio * 1.1);
    }

    return FitInFivePasses(ratio, [&](float tried) -> std::optional<float> {
        float step = firstStep;
        float shrink = tried;
        const std::int32_t sum =
            WholeTempoAfter(a, n, [&](float x) { return NextStage(x, step, shrink, true, range > 0); }) - a;
        if (sum == range || divisor == 0)
            return std::nullopt;
        const float correction = static_cast<float>(std::abs(sum - range)) / static_cast<float>(divisor);
        if (range > 0)
            return sum > range ? tried - correction : tried + correction;
        return sum <= range ? tried - correction : tried + correction;
    });
}

}  // namespace

std::int32_t LogarithmicTrainerStrategy::Initialise(const TrainerRange& range)
{
    _range = range.Range;
    _tempo = range.Start;
    _final.Disarm();
    _step = 0.0f;
    _ratio = 1.0f;
    _shrinking = false;
    const std::int32_t n = range.Steps();
    // The selection never gives fewer than four steps; a caller that does gets a single stage.
    if (n < 1)
        return 1;
    _step = static_cast<float>(2 * range.Range) / static_cast<float>(n);
    _ratio = FitRatio(range.Range, n, _step, range.Start, range.End);
    _shrinking = true;
    _final.Arm(range.End, n);
    return n + 1;
}

float LogarithmicTrainerStrategy::NextTempo()
{
    _tempo = NextStage(_tempo, _step, _ratio, _shrinking, _range > 0);
    _tempo = _final.Land(_tempo);
    return _tempo;
}

float LogarithmicTrainerStrategy::BeginWarmDown(std::int32_t stages)
{
    _step = WarmDownStep(_range, stages);
    _shrinking = false;
    _final.Disarm();
    _tempo = _tempo + _step;
    return _tempo;
}

}  // namespace Core
