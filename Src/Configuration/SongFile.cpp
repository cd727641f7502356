#include "Configuration/SongFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

#include "Platform/File.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Text.h"
#include "System/ILog.h"

namespace Configuration {

namespace {

constexpr std::string_view Header = "# Ticova: songs\n";
constexpr std::string_view SongKey = "song = ";
constexpr std::string_view SectionKey = "section = ";

bool IsUtf8(std::string_view text)
{
    return Platform::Text::Utf16ToUtf8(Platform::Text::Utf8ToUtf16(text)) == text;
}

using Platform::Text::ParseWhole;

// "a,b" into two numbers; "s" is the settings' (FromSettings).
bool Pair(std::string_view text, std::int32_t& first, std::int32_t& second, bool settingsAllowed)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return false;
    const auto one = [settingsAllowed](std::string_view part, std::int32_t& value) {
        if (settingsAllowed && part == "s") {
            value = SongSection::FromSettings;
            return true;
        }
        return ParseWhole(part, value) && value >= 0;
    };
    return one(text.substr(0, comma), first) && one(text.substr(comma + 1), second);
}

}  // namespace

bool SongFile::ReadMeter(std::string_view text, SongSection& section)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos || !ParseWhole(text.substr(slash + 1), section.unit))
        return false;
    section.groups.clear();
    std::string_view groups = text.substr(0, slash);
    while (true) {
        const std::size_t plus = groups.find('+');
        std::int32_t beats = 0;
        if (!ParseWhole(groups.substr(0, plus), beats) || beats < 1 || section.groups.size() >= SongSection::MaxBeats)
            return false;
        section.groups.push_back(beats);
        if (plus == std::string_view::npos)
            return true;
        groups.remove_prefix(plus + 1);
    }
}

bool SongFile::ReadAccents(std::string_view text, SongSection& section)
{
    section.accents.clear();
    if (text == "-")
        return true;
    for (const char c : text) {
        switch (c) {
        case 'X': section.accents.push_back(BeatLevel::Accent); break;
        case 'x': section.accents.push_back(BeatLevel::Normal); break;
        case 'o': section.accents.push_back(BeatLevel::Soft); break;
        case '.': section.accents.push_back(BeatLevel::Silent); break;
        default: return false;
        }
    }
    return true;
}

std::string SongFile::MeterText(const SongSection& section)
{
    std::string text;
    for (std::size_t g = 0; g < section.groups.size(); ++g)
        text += (g ? "+" : "") + std::to_string(section.groups[g]);
    return text + '/' + std::to_string(section.unit);
}

std::string SongFile::AccentText(const SongSection& section)
{
    std::string text;
    for (const BeatLevel level : section.accents)
        text += "Xxo."[static_cast<int>(level)];
    return text;
}

std::string SongFile::SubdivisionText(const SongSection& section)
{
    const auto one = [](std::int32_t value) {
        return value == SongSection::FromSettings ? std::string("s") : std::to_string(value);
    };
    if (section.subdivision2 == SongSection::FromSettings && section.subdivision == SongSection::FromSettings)
        return "s";
    if (section.subdivision2 == 0)
        return one(section.subdivision);
    return one(section.subdivision) + ',' + one(section.subdivision2);
}

std::string SongFile::MutedBarsText(const SongSection& section)
{
    if (section.playBars == 0 || section.muteBars == 0)
        return "0";
    return std::to_string(section.playBars) + ',' + std::to_string(section.muteBars);
}

bool SongFile::ReadSubdivisions(std::string_view text, SongSection& section)
{
    if (text.find(',') != std::string_view::npos)
        return Pair(text, section.subdivision, section.subdivision2, true);
    // One value: the first subdivision; with "s" both come from the settings.
    const std::string both = std::string(text) + ',' + (text == "s" ? "s" : "0");
    return Pair(both, section.subdivision, section.subdivision2, true);
}

bool SongFile::ReadMutedBars(std::string_view text, SongSection& section)
{
    if (text.empty() || text == "0") {
        section.playBars = section.muteBars = 0;
        return true;
    }
    return Pair(text, section.playBars, section.muteBars, false);
}

namespace {

std::string OneLine(std::string_view text);

// One "section = ..." line's fields; false for anything it does not know or cannot read.
bool ReadSection(std::string_view text, SongSection& section)
{
    section = SongSection{};
    while (!text.empty()) {
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        if (text.empty())
            break;
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos)
            return false;
        const std::string_view key = text.substr(0, equals);
        text.remove_prefix(equals + 1);
        if (key == "label") {
            section.label = OneLine(text);  // the rest of the line
            break;
        }
        const std::size_t space = text.find(' ');
        const std::string_view value = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space);
        std::int32_t flag = 0;
        bool ok = false;
        if (key == "bars")
            ok = ParseWhole(value, section.bars) && section.bars >= 0;
        else if (key == "meter")
            ok = SongFile::ReadMeter(value, section);
        else if (key == "tempo")
            ok = ParseWhole(value, section.tempo);
        else if (key == "end")
            ok = ParseWhole(value, section.endTempo);
        else if (key == "accents")
            ok = SongFile::ReadAccents(value, section);
        else if (key == "sub")
            ok = Pair(value, section.subdivision, section.subdivision2, true);
        else if (key == "volume")
            ok = ParseWhole(value, section.volume);
        else if (key == "mute")
            ok = Pair(value, section.playBars, section.muteBars, false);
        else if (key == "compound")
            ok = ParseWhole(value, flag) && (flag == 0 || flag == 1) && ((section.compound = flag == 1), true);
        if (!ok)
            return false;
    }
    // A value out of range is brought into it: the section is the user's, not damaged.
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

// A name or label as one line of the file: line breaks become spaces (as they do when read).
std::string OneLine(std::string_view text)
{
    std::string out;
    for (const char c : text)
        out += (c == '\n' || c == '\r') ? ' ' : c;
    return out;
}

}  // namespace

SongFile::SongFile(std::string path) : _path(std::move(path)) {}

std::string SongFile::Path() const
{
    return _path.empty() ? Platform::DataFile("Ticova-songs.txt") : _path;
}

std::vector<SongFile::Damage> SongFile::Read(std::string_view text, std::vector<Song>& songs)
{
    std::vector<Damage> damaged;
    songs.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    bool current = false;  // a song is being read
    bool spoilt = false;   // ... and a line of it was damaged
    std::int32_t number = 0;
    const auto finish = [&] {
        if (current && spoilt)
            songs.pop_back();
        current = false;
        spoilt = false;
    };
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.substr(0, SongKey.size()) == SongKey) {
            finish();
            if (songs.size() >= MaxSongs) {
                damaged.push_back({std::string(line.substr(SongKey.size())), number});
                break;
            }
            songs.emplace_back();
            current = true;
            const std::string_view name = line.substr(SongKey.size());
            if (name.size() > MaxName || !IsUtf8(name)) {
                spoilt = true;
                damaged.push_back({"", number});
            } else {
                songs.back().name = OneLine(name);
            }
            continue;
        }
        SongSection section;
        const bool isSection = line.substr(0, SectionKey.size()) == SectionKey;
        if (isSection && current && !spoilt && songs.back().sections.size() < Song::MaxSections && IsUtf8(line) &&
            ReadSection(line.substr(SectionKey.size()), section)) {
            songs.back().sections.push_back(std::move(section));
            continue;
        }
        // A line that belongs to no song, or a song's line that cannot be read: the song (if
        // any) is lost, once.
        if (current && !spoilt) {
            spoilt = true;
            damaged.push_back({songs.back().name, number});
        } else if (!current) {
            damaged.push_back({"", number});
        }
    }
    finish();
    for (std::size_t n = 0; n < songs.size();) {
        if (songs[n].sections.empty()) {
            damaged.push_back({songs[n].name, 0});
            songs.erase(songs.begin() + static_cast<std::ptrdiff_t>(n));
            continue;
        }
        songs[n].Fit();
        ++n;
    }
    return damaged;
}

std::string SongFile::Write(const std::vector<Song>& songs)
{
    std::string text(Header);
    for (const Song& song : songs) {
        text += SongKey;
        text += OneLine(song.name);
        text += '\n';
        for (const SongSection& section : song.sections) {
            text += SectionKey;
            text += "bars=" + std::to_string(section.bars) + " meter=" + MeterText(section);
            text += " tempo=" + Decimal(section.tempo) + " end=" + Decimal(section.endTempo) + " accents=";
            text += section.accents.empty() ? std::string("-") : AccentText(section);
            const auto sub = [](std::int32_t value) {
                return value == SongSection::FromSettings ? std::string("s") : std::to_string(value);
            };
            text += " sub=" + sub(section.subdivision) + ',' + sub(section.subdivision2);
            text += " volume=" + std::to_string(section.volume);
            text += " mute=" + std::to_string(section.playBars) + ',' + std::to_string(section.muteBars);
            text += std::string(" compound=") + (section.compound ? '1' : '0');
            text += " label=" + OneLine(section.label) + '\n';
        }
    }
    return text;
}

bool SongFile::Load(std::vector<Song>& songs, std::vector<Damage>& damaged)
{
    songs.clear();
    damaged.clear();
    const std::string path = Path();
    if (!Platform::File::Exists(path))
        return true;
    std::string text;
    if (!Platform::File::ReadAll(path, text, SizeLimit + 1) || text.size() > SizeLimit) {
        System::Log().Write(System::Error, "Songs file %s could not be read; it is left as it is", path.c_str());
        return false;
    }
    damaged = Read(text, songs);
    for (const Damage& damage : damaged)
        System::Log().Write(System::Warn, "Songs file %s: the song \"%s\" (line %d) is damaged and left out",
                            path.c_str(), damage.song.c_str(), static_cast<int>(damage.line));
    return true;
}

bool SongFile::Save(const std::vector<Song>& songs)
{
    const std::string path = Path();
    int error = 0;
    const char* call = "";
    // The file as it was before this session's first save is kept, so that a song lost to damage
    // or to an unlucky edit can be found again there.
    if (!_backedUp && Platform::File::Exists(path)) {
        std::string old;
        const bool read = Platform::File::ReadAll(path, old, SizeLimit + 1) && old.size() <= SizeLimit;
        const bool kept = read ? Platform::File::ReplaceWhole(path + ".bak", old, &error, &call)
                               : Platform::File::Rename(path, path + ".bak", true, &error);
        if (!kept) {
            System::ReportSystemErrorCode(error, "Src/Configuration/SongFile", "Configuration::SongFile::Save",
                                          __LINE__, "Error calling %s", read ? call : "rename");
            return false;
        }
    }
    _backedUp = true;
    if (!Platform::File::ReplaceWhole(path, Write(songs), &error, &call)) {
        System::ReportSystemErrorCode(error, "Src/Configuration/SongFile", "Configuration::SongFile::Save", __LINE__,
                                      "Error calling %s", call);
        return false;
    }
    return true;
}

}  // namespace Configuration
