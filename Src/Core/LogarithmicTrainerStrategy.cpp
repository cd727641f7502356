#include "Core/LogarithmicTrainerStrategy.h"

#include <cmath>
#include <cstdlib>

namespace Core {

namespace {

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

    for (int pass = 0; pass < 5; ++pass) {
        float x = static_cast<float>(a);
        float s = firstStep;
        float q = ratio;
        std::int32_t previous = a;
        std::int32_t sum = 0;
        for (std::int32_t stage = 0; stage < n; ++stage) {
            if (static_cast<std::int32_t>(s) == 0) {
                s = range > 0 ? 1.0f : -1.0f;
                q = 1.0f;
                x = static_cast<float>(static_cast<std::int32_t>(x)) + s;
            } else {
                x = x + s;
                s = s * q;
            }
            const std::int32_t whole = static_cast<std::int32_t>(x);
            sum += whole - previous;
            previous = whole;
        }
        if (sum == range)
            break;
        if (divisor == 0)
            break;
        const float correction = static_cast<float>(std::abs(sum - range)) / static_cast<float>(divisor);
        if (range > 0)
            ratio = sum > range ? ratio - correction : ratio + correction;
        else
            ratio = sum <= range ? ratio - correction : ratio + correction;
    }
    return ratio;
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
    if (static_cast<std::int32_t>(_step) == 0) {
        _ratio = 1.0f;
        _step = _range > 0 ? 1.0f : -1.0f;
        _tempo = static_cast<float>(static_cast<std::int32_t>(_tempo)) + _step;
    } else {
        _tempo = _tempo + _step;
        if (_shrinking)
            _step = _step * _ratio;
    }
    _tempo = _final.Land(_tempo);
    return _tempo;
}

float LogarithmicTrainerStrategy::BeginWarmDown(std::int32_t stages)
{
    _step = (_range > 0 && stages > 0) ? static_cast<float>(-_range) / static_cast<float>(stages) : 0.0f;
    _shrinking = false;
    _final.Disarm();
    _tempo = _tempo + _step;
    return _tempo;
}

}  // namespace Core
