#include "Core/BeatsPerBarMetronomeStrategy.h"

#include "Core/SettingsRange.h"

namespace Core {

std::int32_t BeatsPerBarMetronomeStrategy::GetBeatsPerBar(const Configuration::ConfigurationData& settings)
{
    return static_cast<std::int32_t>(SettingsRange::BeatsPerBar(settings));
}

std::int32_t BeatsPerBarMetronomeStrategy::CreatePattern(Configuration::ConfigurationData& settings,
                                                         std::int32_t& primary, std::int32_t& secondary, bool& compound)
{
    _stepTotal = GetBeatsPerBar(settings);
    const std::int32_t beatsPerBar = _stepTotal;
    // Compound time needs more than one group of three.
    compound = ChooseSubdivisions(settings, settings.CompoundTime == 1 && beatsPerBar > 4, primary, secondary);

    _stepValues[0] = 0;
    for (std::int32_t beat = 1; beat < beatsPerBar; ++beat)
        _stepValues[beat] = compound ? (beat % 3 == 0 ? 2 : 3) : 1;

    if (compound) {
        // The pattern is the whole bar, one entry per beat.
        const std::uint16_t shown = IsVisual() ? (BeatEntry | ShowBeat) : BeatEntry;
        _pattern[0] = shown;
        for (std::int32_t beat = 1; beat < beatsPerBar; ++beat) {
            if (beat % 3 == 0)
                _pattern[beat] = shown;
            else if (IsVisual() && (beat + 1 == beatsPerBar || (beat + 1) % 3 == 0))
                _pattern[beat] = BeatEntry | ClearIndicator;
            else
                _pattern[beat] = BeatEntry;
        }
        _patternLength = beatsPerBar;
    } else {
        BuildBeatPattern(primary, secondary, PrimaryClick, PrimaryClick | ClearIndicator);
    }
    _stepIndex = 0;
    return CustomText::Ok;
}

std::int32_t BeatsPerBarMetronomeStrategy::PlayBeat()
{
    const auto voice = static_cast<std::int32_t>(NextStep());
    return PlayVoice(voice) ? voice : -1;
}

std::uint32_t BeatsPerBarMetronomeStrategy::BeatVoices() const noexcept
{
    return SingleVoices();
}

std::int32_t BeatsPerBarMetronomeStrategy::NextBarPlace(std::int32_t& beats) const noexcept
{
    beats = _stepTotal;
    return _stepIndex;
}

std::int32_t BeatsPerBarMetronomeStrategy::BeatVoice(std::int32_t beat) const noexcept
{
    return beat >= 0 && beat < _stepTotal ? static_cast<std::int32_t>(StepValue(beat)) : -1;
}

}  // namespace Core
