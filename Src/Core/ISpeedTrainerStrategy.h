#pragma once

#include <cstdint>
#include <optional>

namespace Core {

// What the speed trainer hands to its tempo curve at every start.
struct TrainerRange {
    float Start;         // start tempo, bpm
    float End;           // end tempo, bpm
    std::int32_t Range;  // whole end tempo minus whole start tempo
    float Step;          // tempo step, bpm, signed like Range

    // How many steps of Step make up Range, rounded; 0 without a step.
    std::int32_t Steps() const
    {
        if (Step == 0.0f)
            return 0;
        const float exact = static_cast<float>(Range) / Step;
        return static_cast<std::int32_t>(exact + 0.5);
    }
};

// The last stage of a curve's climb plays the end tempo itself, whatever the fitted steps add up
// to in floating point: armed with the end and the number of tempo changes that lead there.
class FinalStage {
public:
    void Arm(float end, std::int32_t changes) noexcept
    {
        _end = end;
        _changesLeft = changes;
    }
    void Disarm() noexcept { _changesLeft = 0; }
    // The tempo of the stage that `tempo` begins: the end tempo when it is the last change.
    float Land(float tempo) noexcept { return _changesLeft > 0 && --_changesLeft == 0 ? _end : tempo; }

private:
    float _end = 0.0f;
    std::int32_t _changesLeft = 0;
};

// The whole tempo a curve reaches after `stages` stages from the whole tempo `start`, the
// arithmetic 32-bit float as the stages themselves are computed: `advance` gives the tempo one
// stage on. The curves fit their parameters by running it.
template <typename Advance>
std::int32_t WholeTempoAfter(std::int32_t start, std::int32_t stages, Advance&& advance)
{
    float tempo = static_cast<float>(start);
    for (std::int32_t stage = 0; stage < stages; ++stage)
        tempo = advance(tempo);
    return static_cast<std::int32_t>(tempo);
}

// Fits a curve's parameter in up to five passes: `correct` runs the curve with it and gives the
// corrected parameter, or nothing once it lands (or cannot be corrected).
template <typename Correct>
float FitInFivePasses(float parameter, Correct&& correct)
{
    for (int pass = 0; pass < 5; ++pass) {
        const std::optional<float> corrected = correct(parameter);
        if (!corrected)
            break;
        parameter = *corrected;
    }
    return parameter;
}

// The step of a warm-down of `stages` stages back down over `range` (none without either).
inline float WarmDownStep(std::int32_t range, std::int32_t stages) noexcept
{
    return (range > 0 && stages > 0) ? static_cast<float>(-range) / static_cast<float>(stages) : 0.0f;
}

// A speed-trainer tempo curve: how many stages a run has and the tempo of each.
class ISpeedTrainerStrategy {
public:
    virtual ~ISpeedTrainerStrategy() = default;
    // Starts a new run; returns the number of stages, the first at range.Start.
    virtual std::int32_t Initialise(const TrainerRange& range) = 0;
    // Starts the warm-down of `stages` stages; returns its first tempo.
    virtual float BeginWarmDown(std::int32_t stages) = 0;
    // The tempo of the next stage.
    virtual float NextTempo() = 0;
};

}  // namespace Core
