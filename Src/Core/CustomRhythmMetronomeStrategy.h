#pragma once

#include "Core/SteppedMetronomeStrategy.h"

namespace Core {

// The step-sequencer rhythm: every pattern entry plays the next step, up to eight voices at
// once; the pattern is one beat of CrSubdivision steps, or the whole rhythm in compound time.
class CustomRhythmMetronomeStrategy final : public SteppedMetronomeStrategy {
public:
    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData& settings) override;
    std::int32_t CreatePattern(Configuration::ConfigurationData& settings, std::int32_t& primary,
                               std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;
    std::uint32_t BeatVoices() const noexcept override;
    std::int32_t NextBarPlace(std::int32_t& beats) const noexcept override;

private:
    std::int32_t _stepsPerBeat = 1;
};

}  // namespace Core
