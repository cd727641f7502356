#pragma once

#include <cstdint>

#include "Core/CustomText.h"
#include "Core/MetronomeStrategy.h"

namespace Core {

// A beat strategy that plays a bar as a cycle of steps, one step a beat entry: what a step holds
// (a voice, or several) is the strategy's own.
class SteppedMetronomeStrategy : public MetronomeStrategy {
public:
    std::int32_t StepTotal() const noexcept { return _stepTotal; }
    std::uint32_t StepValue(std::int32_t step) const noexcept
    {
        return step >= 0 && step < _stepTotal ? _stepValues[step] : 0;
    }

protected:
    // The step to play now; the cycle moves on to the next (after the last, the first).
    std::uint32_t NextStep() noexcept
    {
        const std::uint32_t value = _stepValues[_stepIndex];
        if (++_stepIndex >= _stepTotal)
            _stepIndex = 0;
        return value;
    }
    // The voices of steps that hold one voice each.
    std::uint32_t SingleVoices() const noexcept
    {
        std::uint32_t voices = 0;
        for (std::int32_t step = 0; step < _stepTotal; ++step)
            if (_stepValues[step] < static_cast<std::uint32_t>(NumVoices))
                voices |= 1u << _stepValues[step];
        return voices;
    }

    CustomText::StepValues _stepValues{};
    std::int32_t _stepIndex = 0;
    std::int32_t _stepTotal = 0;
};

}  // namespace Core
