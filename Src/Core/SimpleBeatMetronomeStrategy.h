#pragma once

#include "Core/MetronomeStrategy.h"

namespace Core {

// Every beat with voice 1, with optional subdivisions. Its bars, as the speed trainer and the
// flash count them, are four beats.
class SimpleBeatMetronomeStrategy final : public MetronomeStrategy {
public:
    static constexpr std::int32_t BarBeats = 4;

    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData&) override { return BarBeats; }
    std::int32_t CreatePattern(Configuration::ConfigurationData& settings, std::int32_t& primary,
                               std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;
    std::uint32_t BeatVoices() const noexcept override;
    std::int32_t NextBarPlace(std::int32_t& beats) const noexcept override;

private:
    std::int32_t _beatIndex = 0;
};

}  // namespace Core
