#pragma once

#include "Core/ISpeedTrainerStrategy.h"

namespace Core {

// Tempo steps that start at twice the linear step and shrink by a fixed ratio toward 1 bpm;
// once a step falls below 1 bpm the tempo moves by whole beats per minute.
class LogarithmicTrainerStrategy final : public ISpeedTrainerStrategy {
public:
    std::int32_t Initialise(const TrainerRange& range) override;
    float BeginWarmDown(std::int32_t stages) override;
    float NextTempo() override;

    // The ratio found for the current run (for tests and diagnostics).
    float Ratio() const noexcept { return _ratio; }

private:
    float _tempo = 0.0f;
    float _step = 0.0f;
    std::int32_t _range = 0;
    FinalStage _final;
    float _ratio = 1.0f;
    bool _shrinking = false;
};

}  // namespace Core
