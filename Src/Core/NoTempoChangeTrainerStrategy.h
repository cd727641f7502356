#pragma once

#include "Core/ISpeedTrainerStrategy.h"

namespace Core {

// A single stage at the start tempo: chosen when the range or the step is too small to move.
class NoTempoChangeTrainerStrategy final : public ISpeedTrainerStrategy {
public:
    std::int32_t Initialise(const TrainerRange& range) override
    {
        _tempo = range.Start;
        return 1;
    }
    float BeginWarmDown(std::int32_t) override { return _tempo; }
    float NextTempo() override { return _tempo; }

private:
    float _tempo = 0.0f;
};

}  // namespace Core
