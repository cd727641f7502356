#include "Core/TempoMap.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "Core/SongTimerStrategy.h"
#include "Platform/Text.h"

namespace Core {

namespace {

using Configuration::BeatLevel;
using Configuration::SongSection;
using Kind = TempoMap::Note::Kind;

std::vector<std::string_view> Tokens(std::string_view line)
{
    std::vector<std::string_view> tokens;
    std::size_t n = 0;
    while (n < line.size()) {
        while (n < line.size() && (line[n] == ' ' || line[n] == '\t' || line[n] == '\r'))
            ++n;
        const std::size_t start = n;
        while (n < line.size() && line[n] != ' ' && line[n] != '\t' && line[n] != '\r')
            ++n;
        if (n > start)
            tokens.push_back(line.substr(start, n - start));
    }
    return tokens;
}

using Platform::Text::ParseWhole;

bool Pattern(std::string_view text)
{
    for (const char c : text)
        if (c != 'X' && c != 'x' && c != '.')
            return false;
    return !text.empty();
}

// "120", "120-100" or "120,118,...": the first and last tempo of the line.
bool Tempi(std::string_view text, double& first, double& last, bool& perBeat)
{
    perBeat = text.find(',') != std::string_view::npos;
    if (perBeat) {
        if (!ParseWhole(text.substr(0, text.find(',')), first))
            return false;
        last = first;
        return true;
    }
    const std::size_t dash = text.find('-', 1);
    if (dash == std::string_view::npos) {
        if (!ParseWhole(text, first))
            return false;
        last = first;
        return true;
    }
    return ParseWhole(text.substr(0, dash), first) && ParseWhole(text.substr(dash + 1), last);
}

bool PowerOfTwoUnit(std::int32_t unit)
{
    return unit == 1 || unit == 2 || unit == 4 || unit == 8 || unit == 16 || unit == 32;
}

// One line into a section; false: not a section (a note says so).
bool ReadLine(std::string_view line, std::int32_t number, SongSection& section, std::vector<TempoMap::Note>& notes)
{
    std::vector<std::string_view> tokens = Tokens(line);
    std::size_t at = 0;
    section = SongSection{};
    section.subdivision = 0;
    section.subdivision2 = 0;
    if (at < tokens.size() && tokens[at].size() > 1 && tokens[at].back() == ':') {
        section.label = std::string(tokens[at].substr(0, tokens[at].size() - 1));
        ++at;
    }
    std::int32_t bars = 0;
    if (at >= tokens.size() || !ParseWhole(tokens[at], bars) || bars < 1)
        return false;
    ++at;
    std::int32_t beats = 4;
    std::int32_t unit = 4;
    if (at < tokens.size() && tokens[at].find('/') != std::string_view::npos) {
        const std::string_view meter = tokens[at];
        const std::size_t slash = meter.find('/');
        if (!ParseWhole(meter.substr(0, slash), beats) || !ParseWhole(meter.substr(slash + 1), unit))
            return false;
        if (beats < 1 || beats > SongSection::MaxBeats || !PowerOfTwoUnit(unit)) {
            notes.push_back({number, Kind::MeterOutOfRange});
            beats = beats < 1 ? 1 : (beats > SongSection::MaxBeats ? SongSection::MaxBeats : beats);
            if (!PowerOfTwoUnit(unit))
                unit = 4;
        }
        ++at;
    }
    double first = 0;
    double last = 0;
    bool perBeat = false;
    if (at >= tokens.size() || !Tempi(tokens[at], first, last, perBeat) || first <= 0 || last <= 0)
        return false;
    ++at;
    if (perBeat)
        notes.push_back({number, Kind::BeatTempos});
    std::string_view pattern;
    double volume = 1;
    if (at < tokens.size() && Pattern(tokens[at]))
        pattern = tokens[at++];
    if (at < tokens.size()) {
        if (!ParseWhole(tokens[at], volume) || volume < 0)
            return false;
        ++at;
    }
    if (at != tokens.size())
        return false;

    section.bars = bars > SongSection::MaxBars ? SongSection::MaxBars : bars;
    section.groups = {beats};
    section.unit = unit;
    // Quarter notes a minute into beats of the meter a minute.
    section.tempo = first * unit / 4.0;
    section.endTempo = last * unit / 4.0;
    if (!pattern.empty()) {
        if (pattern.size() != static_cast<std::size_t>(beats))
            notes.push_back({number, Kind::PatternLength});
        for (std::size_t beat = 0; beat < pattern.size() && beat < static_cast<std::size_t>(beats); ++beat)
            section.accents.push_back(pattern[beat] == 'X'       ? BeatLevel::Accent
                                          : pattern[beat] == 'x' ? BeatLevel::Normal
                                                                 : BeatLevel::Silent);
        // A short pattern leaves the rest of the bar at normal beats.
        while (section.accents.size() < static_cast<std::size_t>(beats))
            section.accents.push_back(BeatLevel::Normal);
    }
    if (volume > 1) {
        notes.push_back({number, Kind::VolumeAboveFull});
        volume = 1;
    }
    section.volume = static_cast<std::int32_t>(std::lround(volume * 100));
    const double low = SongSection::MinTempo;
    const double high = SongSection::MaxTempo;
    if (section.tempo < low || section.tempo > high || section.endTempo < low || section.endTempo > high)
        notes.push_back({number, Kind::TempoOutOfRange});
    section.Fit();
    return true;
}

// The shortest text that reads back as the same number.
std::string Decimal(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string Label(const std::string& label)
{
    std::string out;
    for (const char c : label) {
        if (c == ':' || c == '#')
            continue;
        out += (c == ' ' || c == '\t' || c == '\r' || c == '\n') ? '_' : c;
    }
    return out;
}

}  // namespace

std::vector<TempoMap::Note> TempoMap::Read(std::string_view text, Configuration::Song& song)
{
    std::vector<Note> notes;
    song.sections.clear();
    if (text.size() > MaxText)
        text = text.substr(0, MaxText);
    std::int32_t number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        if (Tokens(line).empty())
            continue;
        if (song.sections.size() == Configuration::Song::MaxSections) {
            notes.push_back({number, Kind::TooManyLines});
            break;
        }
        SongSection section;
        if (ReadLine(line, number, section, notes))
            song.sections.push_back(std::move(section));
        else
            notes.push_back({number, Kind::Unreadable});
    }
    return notes;
}

std::string TempoMap::Write(const Configuration::Song& original, std::vector<Note>* notes)
{
    Configuration::Song song = original;
    song.Fit();
    std::string text;
    const auto note = [&](std::size_t section, Kind kind) {
        if (notes != nullptr)
            notes->push_back({static_cast<std::int32_t>(section + 1), kind});
    };
    for (std::size_t n = 0; n < song.sections.size(); ++n) {
        const SongSection& section = song.sections[n];
        const std::int32_t beats = section.BeatsPerBar();
        const std::int32_t bars = section.bars == SongSection::Endless ? 1 : section.bars;
        if (section.bars == SongSection::Endless)
            note(n, Kind::Endless);
        if (section.groups.size() > 1)
            note(n, Kind::Groups);
        if (section.subdivision > 1)
            note(n, Kind::Subdivisions);
        std::string pattern;
        bool soft = false;
        for (std::int32_t beat = 0; beat < beats; ++beat) {
            const BeatLevel level = section.Level(beat);
            soft = soft || level == BeatLevel::Soft;
            pattern += level == BeatLevel::Accent ? 'X' : level == BeatLevel::Silent ? '.' : 'x';
        }
        if (soft && section.groups.size() < 2)
            note(n, Kind::SoftBeats);
        // The accent and normal beats after it are what a line plays without a pattern.
        if (pattern == 'X' + std::string(static_cast<std::size_t>(beats - 1), 'x'))
            pattern.clear();
        // Beats of the meter a minute into quarter notes a minute.
        const double toQuarters = 4.0 / section.unit * (section.compound ? 3.0 : 1.0);
        // Muted bars are lines of silent beats; a ramp across them is cut at their bars, which
        // keeps its curve (a piece of a line is a line).
        std::int32_t bar = 0;
        while (bar < bars) {
            const bool muted = section.Muted(bar);
            std::int32_t run = 1;
            while (bar + run < bars && section.Muted(bar + run) == muted)
                ++run;
            if (const std::string label = Label(section.label); bar == 0 && !label.empty())
                text += label + ": ";
            text += std::to_string(run) + ' ' + std::to_string(beats) + '/' + std::to_string(section.unit) + ' ';
            const double from = SongTimerStrategy::TempoAt(section, static_cast<double>(bar) * beats) * toQuarters;
            const double to = SongTimerStrategy::TempoAt(section, static_cast<double>(bar + run) * beats) * toQuarters;
            text += Decimal(from);
            if (section.Ramp() && section.bars != SongSection::Endless)
                text += '-' + Decimal(to);
            if (muted)
                text += ' ' + std::string(static_cast<std::size_t>(beats), '.');
            else if (!pattern.empty())
                text += ' ' + pattern;
            if (section.volume != 100)
                text += ' ' + Decimal(section.volume / 100.0);
            text += '\n';
            bar += run;
        }
    }
    return text;
}

std::string TempoMap::Describe(const Note& note)
{
    const char* what = "";
    switch (note.kind) {
    case Kind::Unreadable: what = "not a tempo-map line; left out"; break;
    case Kind::BeatTempos: what = "one tempo a beat is not kept; the first plays the whole line"; break;
    case Kind::TempoOutOfRange: what = "tempo brought into 10 to 400 beats a minute"; break;
    case Kind::PatternLength: what = "the pattern has not one character a beat; fitted to the bar"; break;
    case Kind::VolumeAboveFull: what = "a volume above 1 plays at the full volume"; break;
    case Kind::MeterOutOfRange: what = "meter brought into 1 to 64 beats of a whole to a 32nd note"; break;
    case Kind::TooManyLines: what = "lines beyond the most a song holds are left out"; break;
    case Kind::SoftBeats: what = "soft beats written as normal ones"; break;
    case Kind::Subdivisions: what = "subdivisions are not written"; break;
    case Kind::Endless: what = "an endless section is written as one bar"; break;
    case Kind::Groups: what = "groups written as the accents of one bar"; break;
    }
    return (note.kind >= Kind::SoftBeats ? "section " : "line ") + std::to_string(note.line) + ": " + what;
}

}  // namespace Core
