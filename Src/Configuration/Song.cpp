#include "Configuration/Song.h"

#include <cmath>

namespace Configuration {

namespace {

template <typename T>
bool FitInto(T& value, T low, T high)
{
    const T was = value;
    if (!(value >= low))  // a tempo that is not a number becomes the lowest
        value = low;
    else if (value > high)
        value = high;
    return value == was;
}

}  // namespace

std::int32_t SongSection::BeatsPerBar() const noexcept
{
    std::int32_t beats = 0;
    for (const std::int32_t group : groups)
        beats += group;
    return beats;
}

BeatLevel SongSection::Level(std::int32_t beat) const noexcept
{
    if (beat >= 0 && static_cast<std::size_t>(beat) < accents.size())
        return accents[static_cast<std::size_t>(beat)];
    if (beat == 0)
        return BeatLevel::Accent;
    if (compound)
        return beat % 3 == 0 ? BeatLevel::Normal : BeatLevel::Soft;
    if (groups.size() < 2)
        return BeatLevel::Normal;
    std::int32_t start = 0;
    for (const std::int32_t group : groups) {
        if (beat == start)
            return BeatLevel::Normal;
        start += group;
    }
    return BeatLevel::Soft;
}

bool SongSection::Muted(std::int32_t bar) const noexcept
{
    if (playBars <= 0 || muteBars <= 0 || bar < 0)
        return false;
    return bar % (playBars + muteBars) >= playBars;
}

bool SongSection::Fit()
{
    bool fine = FitInto(bars, Endless, MaxBars);
    if (groups.empty()) {
        groups = {4};
        fine = false;
    }
    std::int32_t total = 0;
    for (std::int32_t& group : groups) {
        fine = FitInto(group, 1, MaxBeats - total) && fine;
        total += group;
    }
    // Groups beyond the largest bar are dropped (each above was cut to what was left).
    while (groups.size() > 1 && total > MaxBeats) {
        total -= groups.back();
        groups.pop_back();
        fine = false;
    }
    while (groups.size() > 1 && groups.back() == 0) {
        groups.pop_back();
        fine = false;
    }
    if (unit != 1 && unit != 2 && unit != 4 && unit != 8 && unit != 16 && unit != 32) {
        unit = 4;
        fine = false;
    }
    if (compound && BeatsPerBar() % 3 != 0) {
        compound = false;
        fine = false;
    }
    fine = FitInto(tempo, MinTempo, MaxTempo) && fine;
    fine = FitInto(endTempo, MinTempo, MaxTempo) && fine;
    if (bars == Endless && endTempo != tempo) {
        endTempo = tempo;  // a ramp needs an end
        fine = false;
    }
    if (accents.size() > static_cast<std::size_t>(BeatsPerBar())) {
        accents.resize(static_cast<std::size_t>(BeatsPerBar()));
        fine = false;
    }
    if (subdivision != FromSettings)
        fine = FitInto(subdivision, 0, MaxSubdivision) && fine;
    if (subdivision2 != FromSettings)
        fine = FitInto(subdivision2, 0, MaxSubdivision) && fine;
    fine = FitInto(volume, 0, 100) && fine;
    fine = FitInto(playBars, 0, MaxBars) && fine;
    fine = FitInto(muteBars, 0, MaxBars) && fine;
    return fine;
}

bool Song::Fit()
{
    bool fine = true;
    if (sections.size() > MaxSections) {
        sections.resize(MaxSections);
        fine = false;
    }
    for (std::size_t n = 0; n < sections.size(); ++n) {
        SongSection& section = sections[n];
        fine = section.Fit() && fine;
        if (section.bars == SongSection::Endless && n + 1 < sections.size()) {
            section.bars = 1;
            fine = false;
        }
    }
    return fine;
}

}  // namespace Configuration
