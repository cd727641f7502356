#pragma once

#include "Core/ISpeedTrainerStrategy.h"

namespace Core {

// Equal tempo steps, fitted so that the last stage lands on the end tempo's whole number.
class LinearTrainerStrategy final : public ISpeedTrainerStrategy {
public:
    std::int32_t Initialise(const TrainerRange& range) override;
    float BeginWarmDown(std::int32_t stages) override;
    float NextTempo() override;

private:
    float _tempo = 0.0f;
    float _step = 0.0f;
    std::int32_t _range = 0;
    FinalStage _final;
};

}  // namespace Core
