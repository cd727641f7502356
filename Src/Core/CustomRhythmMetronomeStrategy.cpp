#include "Core/CustomRhythmMetronomeStrategy.h"

#include "Core/SettingsRange.h"

namespace Core {

std::int32_t CustomRhythmMetronomeStrategy::GetBeatsPerBar(const Configuration::ConfigurationData& settings)
{
    return static_cast<std::int32_t>(SettingsRange::CrBeatsPerBar(settings));
}

std::int32_t CustomRhythmMetronomeStrategy::CreatePattern(Configuration::ConfigurationData& settings,
                                                          std::int32_t& primary, std::int32_t& secondary,
                                                          bool& compound)
{
    compound = settings.CrCompoundTime == 1;
    primary = compound ? 3 : static_cast<std::int32_t>(SettingsRange::CrSubdivision(settings));
    secondary = 0;
    _stepIndex = 0;
    _stepsPerBeat = primary > 0 ? primary : 1;
    const std::int32_t code = CustomText::ParseCustomRhythm(CustomText::Of(settings.CustomRhythm), compound, IsVisual(),
                                                            _stepValues, _pattern, _stepTotal);
    if (code != CustomText::Ok || _stepTotal == 0) {
        _stepTotal = 0;
        SetSilentPattern();
        return code;
    }
    if (compound) {
        _patternLength = _stepTotal;
        return CustomText::Ok;
    }

    // One beat of `primary` steps, every entry a step; the indicator goes dark half-way.
    _pattern[0] = IsVisual() ? (BeatEntry | ShowBeat) : BeatEntry;
    if (primary != 0) {
        const std::int32_t half = IsVisual() ? (primary + 1) / 2 : -1;
        for (std::int32_t i = 1; i < primary; ++i)
            _pattern[i] = i == half ? (BeatEntry | ClearIndicator) : BeatEntry;
        _patternLength = primary;
    } else if (IsVisual()) {
        _pattern[1] = ClearIndicator;
        _patternLength = 2;
    } else {
        _patternLength = 1;
    }
    return CustomText::Ok;
}

std::int32_t CustomRhythmMetronomeStrategy::PlayBeat()
{
    if (_stepTotal == 0)
        return 0;
    const std::uint32_t step = NextStep();
    if (step == 0)
        return 0;

    // Voices 1..12 as 4-bit fields, the first voice of the step in the highest field in use.
    std::int32_t shown = 0;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const std::uint32_t field = (step >> shift) & 0xFu;
        if (field == 0 || field > NumVoices)
            continue;
        const std::int32_t voice = static_cast<std::int32_t>(field) - 1;
        if (!PlayVoice(voice))
            return -1;
        if (shown == 0)
            shown = voice;
    }
    return shown;
}

std::uint32_t CustomRhythmMetronomeStrategy::BeatVoices() const noexcept
{
    // Voices 1..12 as the 4-bit fields of each step, as PlayBeat reads them.
    std::uint32_t voices = 0;
    for (std::int32_t step = 0; step < _stepTotal; ++step)
        for (int shift = 28; shift >= 0; shift -= 4) {
            const std::uint32_t field = (_stepValues[step] >> shift) & 0xFu;
            if (field != 0 && field <= static_cast<std::uint32_t>(NumVoices))
                voices |= 1u << (field - 1);
        }
    return voices;
}

std::int32_t CustomRhythmMetronomeStrategy::NextBarPlace(std::int32_t& beats) const noexcept
{
    // The rhythm is one bar of steps, _stepsPerBeat of them to a beat.
    beats = (_stepTotal + _stepsPerBeat - 1) / _stepsPerBeat;
    return _stepIndex % _stepsPerBeat == 0 ? _stepIndex / _stepsPerBeat : -1;
}

}  // namespace Core
