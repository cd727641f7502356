#pragma once

#include <vector>

#include "Core/MetronomeStrategy.h"

namespace Core {

class SongTimerStrategy;

// The beats of a song: each section's bar with its own meter, accents, subdivisions, volume and
// muted bars, as its timer strategy (which places every tick) walks through the song. The
// pattern is one beat of the section being played, built again on the timer thread when the
// next beat belongs to another section or to a muted bar (a fixed array: nothing is allocated).
// An accent plays voice 1, a normal beat voice 2, a soft one voice 3; a silent beat and the
// beats of a muted bar are only shown.
class SongMetronomeStrategy final : public MetronomeStrategy {
public:
    explicit SongMetronomeStrategy(SongTimerStrategy& timing) noexcept : _timing(timing) {}

    void OnTimer() override;
    // The first section's bar.
    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData& settings) override;
    std::int32_t CreatePattern(Configuration::ConfigurationData& settings, std::int32_t& primary,
                               std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;
    std::int32_t NextBarPlace(std::int32_t& beats) const noexcept override;

private:
    struct Beat {
        std::int32_t primary = 0;
        std::int32_t secondary = 0;
    };
    void BuildFor(std::int32_t section, bool muted) noexcept;
    bool BarMuted() const noexcept override;

    SongTimerStrategy& _timing;
    std::vector<Beat> _beats;  // per section, made at CreatePattern
    std::int32_t _builtSection = -1;
    bool _builtMuted = false;
};

}  // namespace Core
