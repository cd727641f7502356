#include "Core/CustomPatternMetronomeStrategy.h"

#include "Configuration/ConfigurationData.h"

namespace Core {

std::int32_t CustomPatternMetronomeStrategy::CreatePattern(Configuration::ConfigurationData& settings,
                                                           std::int32_t& primary, std::int32_t& secondary,
                                                           bool& compound)
{
    compound = ChooseSubdivisions(settings, settings.CompoundTime == 1, primary, secondary);
    _stepIndex = 0;
    const std::int32_t code = CustomText::ParseCustomPattern(CustomText::Of(settings.CustomPattern), compound,
                                                             IsVisual(), _stepValues, _pattern, _stepTotal);
    if (code != CustomText::Ok || _stepTotal == 0) {
        // Nothing to play (and after an error nothing valid): one silent entry.
        _stepTotal = 0;
        SetSilentPattern();
        return code;
    }
    if (compound)
        _patternLength = _stepTotal;
    else
        BuildBeatPattern(primary, secondary, PrimaryClick, PrimaryClick | ClearIndicator);
    return CustomText::Ok;
}

std::int32_t CustomPatternMetronomeStrategy::PlayBeat()
{
    if (_stepTotal == 0)
        return 0;
    const auto voice = static_cast<std::int32_t>(NextStep());
    return PlayVoice(voice) ? voice : -1;
}

std::uint32_t CustomPatternMetronomeStrategy::BeatVoices() const noexcept
{
    return SingleVoices();
}

std::int32_t CustomPatternMetronomeStrategy::NextBarPlace(std::int32_t& beats) const noexcept
{
    // The pattern is one bar, one beat a step.
    beats = _stepTotal;
    return _stepIndex;
}

}  // namespace Core
