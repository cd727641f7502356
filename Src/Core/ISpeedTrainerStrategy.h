#pragma once

#include <cstdint>

namespace Core {

// What the speed trainer hands to its tempo curve at every start.
struct TrainerRange {
    float Start;         // start tempo, bpm
    float End;           // end tempo, bpm
    std::int32_t Range;  // whole end tempo minus whole start tempo
    float Step;          // tempo step, bpm, signed like Range
};

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
