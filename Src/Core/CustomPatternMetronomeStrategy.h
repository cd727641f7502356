#pragma once

#include "Core/SteppedMetronomeStrategy.h"

namespace Core {

// Groups of beats from the custom pattern text, such as 3+2+2: voice 1 on the first beat,
// voice 2 opening each later group, voice 3 on the other beats.
class CustomPatternMetronomeStrategy final : public SteppedMetronomeStrategy {
public:
    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData&) override { return _stepTotal; }
    std::int32_t CreatePattern(Configuration::ConfigurationData& settings, std::int32_t& primary,
                               std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;
    std::uint32_t BeatVoices() const noexcept override;
    std::int32_t NextBarPlace(std::int32_t& beats) const noexcept override;
};

}  // namespace Core
