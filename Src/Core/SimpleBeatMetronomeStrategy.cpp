#include "Core/SimpleBeatMetronomeStrategy.h"

namespace Core {

std::int32_t SimpleBeatMetronomeStrategy::CreatePattern(Configuration::ConfigurationData& settings,
                                                        std::int32_t& primary, std::int32_t& secondary, bool& compound)
{
    ChooseSubdivisions(settings, false, primary, secondary);
    BuildBeatPattern(primary, secondary, PrimaryClick, PrimaryClick | ClearIndicator);
    compound = false;
    _beatIndex = 0;
    return CustomText::Ok;
}

std::int32_t SimpleBeatMetronomeStrategy::PlayBeat()
{
    if (++_beatIndex >= BarBeats)
        _beatIndex = 0;
    return PlayVoice(0) ? 0 : -1;
}

std::uint32_t SimpleBeatMetronomeStrategy::BeatVoices() const noexcept
{
    return 1u;
}

std::int32_t SimpleBeatMetronomeStrategy::NextBarPlace(std::int32_t& beats) const noexcept
{
    beats = BarBeats;
    return _beatIndex;
}

}  // namespace Core
