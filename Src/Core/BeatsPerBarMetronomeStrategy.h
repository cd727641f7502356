#pragma once

#include "Core/SteppedMetronomeStrategy.h"

namespace Core {

// Bars of BeatsPerBar beats, a step each: voice 1 on the first beat, voice 2 on the others; in compound
// time the bar falls into groups of three, voice 3 opening each later group, voice 4 the rest.
class BeatsPerBarMetronomeStrategy final : public SteppedMetronomeStrategy {
public:
    static constexpr std::int32_t MaxBeats = 64;

    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData& settings) override;
    std::int32_t CreatePattern(Configuration::ConfigurationData& settings, std::int32_t& primary,
                               std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;
    std::uint32_t BeatVoices() const noexcept override;
    std::int32_t NextBarPlace(std::int32_t& beats) const noexcept override;

    std::int32_t BeatVoice(std::int32_t beat) const noexcept;
};

}  // namespace Core
