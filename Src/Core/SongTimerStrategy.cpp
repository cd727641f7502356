#include "Core/SongTimerStrategy.h"

#include <algorithm>
#include <cmath>

#include "Configuration/ConfigurationData.h"
#include "Core/SettingsRange.h"

namespace Core {

namespace {

using Configuration::SongSection;

// Meter beats in one beat of the tempo: three in compound time.
double BeatsPerTempoBeat(const SongSection& section) noexcept
{
    return section.compound ? 3.0 : 1.0;
}

double TempoBeats(const SongSection& section) noexcept
{
    return static_cast<double>(section.bars) * section.BeatsPerBar() / BeatsPerTempoBeat(section);
}

}  // namespace

std::int32_t SongTimerStrategy::TicksPerBeat(const SongSection& section,
                                             const Configuration::ConfigurationData& settings, bool visual,
                                             std::int32_t* primary, std::int32_t* secondary) noexcept
{
    std::int32_t p = section.subdivision == SongSection::FromSettings
        ? static_cast<std::int32_t>(SettingsRange::Subdivision1(settings))
        : SettingsRange::ClampSigned(section.subdivision, 0, SongSection::MaxSubdivision);
    std::int32_t s = section.subdivision2 == SongSection::FromSettings
        ? static_cast<std::int32_t>(SettingsRange::Subdivision2(settings))
        : SettingsRange::ClampSigned(section.subdivision2, 0, SongSection::MaxSubdivision);
    if (p <= 1) {
        // One click a beat is no subdivision.
        p = 0;
        s = 0;
    }
    if (s == p || s == 1)
        s = 0;
    // A bar of 64 beats with the finest grid must fit a pattern: 512 entries are 8 a beat.
    if (s != 0 && p * s * section.BeatsPerBar() > SettingsRange::MaxPatternLength)
        s = 0;
    if (primary != nullptr)
        *primary = p;
    if (secondary != nullptr)
        *secondary = s;
    if (s != 0)
        return p * s;
    if (p != 0)
        return p;
    return visual ? 2 : 1;
}

double SongTimerStrategy::OffsetMs(const SongSection& section, double beats) noexcept
{
    const double x = beats / BeatsPerTempoBeat(section);
    const double t0 = section.tempo;
    const double t1 = section.endTempo;
    if (t0 == t1 || section.bars == SongSection::Endless)
        return 60000.0 * x / t0;
    const double n = TempoBeats(section);
    const double slope = (t1 - t0) / n;  // tempo gained per tempo beat
    // 60 n / (t1 - t0) * ln(T(x) / t0), with T(x) / t0 = 1 + slope x / t0.
    return 60000.0 / slope * std::log1p(slope * x / t0);
}

double SongTimerStrategy::TempoAt(const SongSection& section, double beats) noexcept
{
    if (section.tempo == section.endTempo || section.bars == SongSection::Endless)
        return section.tempo;
    const double x = beats / BeatsPerTempoBeat(section);
    return section.tempo + (section.endTempo - section.tempo) * x / TempoBeats(section);
}

void SongTimerStrategy::SetSong(const Configuration::Song& song)
{
    _song = song;
    _song.Fit();
    if (_song.sections.empty())
        _song.sections.push_back({});
}

void SongTimerStrategy::Initialise(Configuration::ConfigurationData& settings)
{
    const bool visual = settings.VisualIndicator == 1;
    _parts.clear();
    _parts.reserve(_song.sections.size());
    double start = 0;
    for (const SongSection& section : _song.sections) {
        Part part;
        part.startMs = start;
        part.beats = section.BeatsPerBar();
        part.ticksPerBeat = TicksPerBeat(section, settings, visual);
        _parts.push_back(part);
        start += OffsetMs(section, static_cast<double>(section.bars) * part.beats);
    }
    _playing = Place{};
    _next = Place{};
    _ended = false;
    _playingMs = 0;
    _nextMs = 0;
    _heardPlace.store(0, std::memory_order_relaxed);
    _heardTempo.store(_song.sections.front().tempo, std::memory_order_relaxed);
}

void SongTimerStrategy::Step(Place& place) const noexcept
{
    const Part& part = _parts[static_cast<std::size_t>(place.section)];
    if (++place.tick < part.ticksPerBeat)
        return;
    place.tick = 0;
    if (++place.beat < part.beats)
        return;
    place.beat = 0;
    const std::int32_t bars = _song.sections[static_cast<std::size_t>(place.section)].bars;
    if (++place.bar < bars || bars == SongSection::Endless)
        return;
    place.bar = 0;
    ++place.section;  // may step past the last section: the end of the song
}

double SongTimerStrategy::PositionMs(const Place& place) const noexcept
{
    if (place.section < 0 || static_cast<std::size_t>(place.section) >= _parts.size())
        return LengthMs();
    const Part& part = _parts[static_cast<std::size_t>(place.section)];
    const SongSection& section = _song.sections[static_cast<std::size_t>(place.section)];
    const double beats =
        static_cast<double>(place.bar) * part.beats + place.beat + static_cast<double>(place.tick) / part.ticksPerBeat;
    return part.startMs + OffsetMs(section, beats);
}

double SongTimerStrategy::LengthMs() const noexcept
{
    if (_parts.empty())
        return 0;
    const SongSection& last = _song.sections.back();
    return _parts.back().startMs + OffsetMs(last, static_cast<double>(last.bars) * _parts.back().beats);
}

Interval SongTimerStrategy::GetInterval()
{
    if (_ended || _parts.empty())
        return Interval(60000.0 / 120);
    // From the tick due next to the one after it: the first interval of a start or a resume.
    Place after = _next;
    Step(after);
    return Interval(PositionMs(after) - PositionMs(_next));
}

std::int32_t SongTimerStrategy::GetTempo()
{
    return static_cast<std::int32_t>(std::lround(_heardTempo.load(std::memory_order_relaxed)));
}

std::int32_t SongTimerStrategy::TimerTicksPerBeat()
{
    if (_parts.empty())
        return 1;
    // The count-in counts beats of the tempo: three meter beats of a compound bar.
    const SongSection& first = _song.sections.front();
    return _parts.front().ticksPerBeat * static_cast<std::int32_t>(BeatsPerTempoBeat(first));
}

std::int32_t SongTimerStrategy::OnTick(std::uint16_t)
{
    if (_ended || _parts.empty() || static_cast<std::size_t>(_next.section) >= _parts.size()) {
        // The tick after the last beat: nothing plays, the run is over.
        _ended = true;
        return TrainerEnded;
    }
    _playing = _next;
    _playingMs = PositionMs(_playing);
    Step(_next);
    _nextMs = PositionMs(_next);

    std::int32_t result = Advance;
    if (_playing.tick == 0 && _playing.beat == 0) {
        const SongSection& section = _song.sections[static_cast<std::size_t>(_playing.section)];
        const double beats = static_cast<double>(_playing.bar) * section.BeatsPerBar();
        _heardTempo.store(TempoAt(section, beats), std::memory_order_relaxed);
        _heardPlace.store(_playing.section * 65536 + _playing.bar, std::memory_order_relaxed);
        result |= SongBar;
    }
    return result;
}

bool SongTimerStrategy::PlaceTick(Interval& current, Interval& next)
{
    if (_ended)
        return false;
    current = Interval(_playingMs);
    next = Interval(_nextMs);
    return true;
}

SongTimerStrategy::Heard SongTimerStrategy::Now() const noexcept
{
    const std::int32_t place = _heardPlace.load(std::memory_order_relaxed);
    return Heard{place / 65536, place % 65536, _heardTempo.load(std::memory_order_relaxed)};
}

void SongTimerStrategy::BarPlace(const Place& place, double& beatInBar, double& barBeats,
                                 double& tickBeats) const noexcept
{
    if (_parts.empty()) {
        beatInBar = 0;
        barBeats = 1;
        tickBeats = 1;
        return;
    }
    const std::size_t index =
        std::min(static_cast<std::size_t>(place.section < 0 ? 0 : place.section), _parts.size() - 1);
    const Part& part = _parts[index];
    tickBeats = 1.0 / (part.ticksPerBeat > 0 ? part.ticksPerBeat : 1);
    barBeats = part.beats > 0 ? part.beats : 1;
    beatInBar = place.beat + place.tick * tickBeats;
}

}  // namespace Core
