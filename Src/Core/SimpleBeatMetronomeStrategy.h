#pragma once

#include "Core/MetronomeStrategy.h"

namespace Core {

// Every beat with voice 1, with optional subdivisions.
class SimpleBeatMetronomeStrategy final : public MetronomeStrategy {
public:
    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData&) override { return 4; }
    std::int32_t CreatePattern(Configuration::ConfigurationData& settings, std::int32_t& primary,
                               std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;
};

}  // namespace Core
