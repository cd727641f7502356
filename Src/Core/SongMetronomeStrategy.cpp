#include "Core/SongMetronomeStrategy.h"

#include "Configuration/ConfigurationData.h"
#include "Core/MidiSoundEngine.h"
#include "Core/SongTimerStrategy.h"

namespace Core {

namespace {

std::int32_t VoiceOf(Configuration::BeatLevel level) noexcept
{
    switch (level) {
    case Configuration::BeatLevel::Accent: return 0;
    case Configuration::BeatLevel::Normal: return 1;
    default: return 2;
    }
}

}  // namespace

std::int32_t SongMetronomeStrategy::GetBeatsPerBar(const Configuration::ConfigurationData&)
{
    return _timing.GetSong().sections.front().BeatsPerBar();
}

std::int32_t SongMetronomeStrategy::CreatePattern(Configuration::ConfigurationData& settings, std::int32_t& primary,
                                                  std::int32_t& secondary, bool& compound)
{
    const Configuration::Song& song = _timing.GetSong();
    _beats.clear();
    _beats.reserve(song.sections.size());
    auto* midi = dynamic_cast<MidiSoundEngine*>(GetSoundEngine());
    for (const Configuration::SongSection& section : song.sections) {
        Beat beat;
        SongTimerStrategy::TicksPerBeat(section, settings, IsVisual(), &beat.primary, &beat.secondary);
        _beats.push_back(beat);
        // A section's own volume gives velocities of its own, rendered now rather than at the click.
        if (midi != nullptr && section.volume != 100) {
            for (int voice = 0; voice < SecondaryVoice + 1; ++voice)
                midi->PrepareNote(Sound(voice), Volume(voice) * section.volume / 100);
        }
    }
    _builtSection = -1;
    BuildFor(0, song.sections.front().Muted(0));
    primary = _patternLength > 1 ? _patternLength : 0;
    secondary = 0;
    compound = song.sections.front().compound;
    return CustomText::Ok;
}

void SongMetronomeStrategy::BuildFor(std::int32_t section, bool muted) noexcept
{
    const Beat& beat = _beats[static_cast<std::size_t>(section)];
    BuildBeatPattern(beat.primary, beat.secondary, PrimaryClick, PrimaryClick | ClearIndicator);
    if (muted) {
        // Only shown: the beat itself is not played (PlayBeat), its subdivisions go.
        for (std::int32_t n = 1; n < _patternLength; ++n)
            _pattern[n] &= static_cast<std::uint16_t>(~(PrimaryClick | SecondaryClick));
    }
    if (section != _builtSection)
        SetVolumeScale(_timing.GetSong().sections[static_cast<std::size_t>(section)].volume);
    _builtSection = section;
    _builtMuted = muted;
}

void SongMetronomeStrategy::OnTimer()
{
    MetronomeStrategy::OnTimer();
    if (HandedOver() || _timing.Ended() || CountInTicksLeft() > 0)
        return;
    // The beat to come may be another section's or a muted bar's: its pattern is built now,
    // between ticks, and the pattern has come round to its start (it is one beat long).
    const SongTimerStrategy::Place& next = _timing.Upcoming();
    const auto& sections = _timing.GetSong().sections;
    if (next.tick != 0 || static_cast<std::size_t>(next.section) >= sections.size())
        return;
    const bool muted = sections[static_cast<std::size_t>(next.section)].Muted(next.bar);
    if (next.section != _builtSection || muted != _builtMuted)
        BuildFor(next.section, muted);
}

std::int32_t SongMetronomeStrategy::PlayBeat()
{
    const SongTimerStrategy::Place& place = _timing.Playing();
    const Configuration::SongSection& section = _timing.GetSong().sections[static_cast<std::size_t>(place.section)];
    const Configuration::BeatLevel level = section.Level(place.beat);
    const std::int32_t voice = VoiceOf(level);
    if (level == Configuration::BeatLevel::Silent || section.Muted(place.bar))
        return voice;
    return PlayVoice(voice) ? voice : -1;
}

bool SongMetronomeStrategy::BarMuted() const noexcept
{
    const SongTimerStrategy::Place& place = _timing.Playing();
    const auto& sections = _timing.GetSong().sections;
    return static_cast<std::size_t>(place.section) < sections.size() &&
        sections[static_cast<std::size_t>(place.section)].Muted(place.bar);
}

std::int32_t SongMetronomeStrategy::NextBarPlace(std::int32_t& beats) const noexcept
{
    const SongTimerStrategy::Place& place = _timing.Playing();
    const auto& sections = _timing.GetSong().sections;
    beats = static_cast<std::size_t>(place.section) < sections.size()
        ? sections[static_cast<std::size_t>(place.section)].BeatsPerBar()
        : 0;
    return place.tick == 0 ? place.beat : -1;
}

}  // namespace Core
