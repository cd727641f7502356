#include "Core/SimpleBeatMetronomeStrategy.h"

namespace Core {

std::int32_t SimpleBeatMetronomeStrategy::CreatePattern(Configuration::ConfigurationData& settings,
                                                        std::int32_t& primary, std::int32_t& secondary,
                                                        bool& compound)
{
    ChooseSubdivisions(settings, false, primary, secondary);
    BuildBeatPattern(primary, secondary, PrimaryClick, PrimaryClick | ClearIndicator);
    compound = false;
    return CustomText::Ok;
}

std::int32_t SimpleBeatMetronomeStrategy::PlayBeat()
{
    return PlayVoice(0) ? 0 : -1;
}

}  // namespace Core
