#include "Configuration/Setlists.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "Configuration/ExtraSettings.h"
#include "System/ILog.h"

namespace Configuration {

namespace {

// A whole decimal number 1..limit, or 0.
std::size_t Index(std::string_view text, std::size_t limit)
{
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > limit || text[0] == '0')
        return 0;
    return value;
}

struct ReadList {
    std::string name;
    std::int32_t bars = 0;
    std::map<std::size_t, std::string> entries;
    std::map<std::size_t, bool> songs;
    std::map<std::string, std::string> otherFields;
};

// The list a key belongs to (1 ... MaxLists), with the field after its number; 0 for a key
// that names no list ("setlist.active", a newer copy's key).
std::size_t ListOf(std::string_view key, std::string_view& field)
{
    const std::string_view rest = key.substr(Setlists::Prefix.size());
    const std::size_t dot = rest.find('.');
    if (dot == std::string_view::npos)
        return 0;
    field = rest.substr(dot + 1);
    return Index(rest.substr(0, dot), Setlists::MaxLists);
}

// The entry a "<n>.song" field marks (0: not such a field).
std::size_t SongEntry(std::string_view field)
{
    constexpr std::string_view suffix = ".song";
    if (field.size() <= suffix.size() || field.substr(field.size() - suffix.size()) != suffix)
        return 0;
    return Index(field.substr(0, field.size() - suffix.size()), Setlists::MaxEntries);
}

}  // namespace

void Setlist::Insert(std::size_t at, std::string entryName, bool song)
{
    at = std::min(at, presets.size());
    songs.resize(presets.size(), false);
    presets.insert(presets.begin() + static_cast<std::ptrdiff_t>(at), std::move(entryName));
    songs.insert(songs.begin() + static_cast<std::ptrdiff_t>(at), song);
}

void Setlist::Erase(std::size_t entry)
{
    if (entry >= presets.size())
        return;
    songs.resize(presets.size(), false);
    presets.erase(presets.begin() + static_cast<std::ptrdiff_t>(entry));
    songs.erase(songs.begin() + static_cast<std::ptrdiff_t>(entry));
}

void Setlist::Swap(std::size_t a, std::size_t b)
{
    if (a >= presets.size() || b >= presets.size())
        return;
    songs.resize(presets.size(), false);
    std::swap(presets[a], presets[b]);
    const bool song = songs[a];
    songs[a] = songs[b];
    songs[b] = song;
}

void Setlists::Read(const ExtraSettings& extras)
{
    _lists.clear();
    std::map<std::size_t, ReadList> lists;
    int skipped = 0;
    for (const std::string& key : extras.Keys(Prefix)) {
        std::string_view field;
        const std::size_t list = ListOf(key, field);
        if (list == 0) {
            // "setlist.active" and "setlist.position" are read below; any other is a newer
            // copy's and stays in the file as it is.
            if (key != "setlist.active" && key != "setlist.position")
                ++skipped;
            continue;
        }
        ReadList& read = lists[list];
        if (field == "name") {
            read.name = extras.Text(key);
        } else if (field == "bars") {
            const std::int64_t bars = extras.Number(key, -1, 0, MaxBars);
            if (bars < 0) {
                ++skipped;
                read.otherFields.emplace(field, extras.Text(key));
            } else {
                read.bars = static_cast<std::int32_t>(bars);
            }
        } else if (const std::size_t song = SongEntry(field); song != 0 && extras.Number(key, -1, 0, 1) >= 0) {
            read.songs[song] = extras.Number(key, 0, 0, 1) == 1;
        } else if (const std::size_t entry = Index(field, MaxEntries); entry != 0) {
            std::string preset = extras.Text(key);
            if (preset.empty())
                ++skipped;  // an empty entry names nothing
            else
                read.entries[entry] = std::move(preset);
        } else {
            ++skipped;
            read.otherFields.emplace(field, extras.Text(key));
        }
    }
    if (skipped != 0)
        System::Log().Write(System::Warn,
                            "Configuration::Setlists::Read: %d setlist settings not understood (empty entries are "
                            "left out, the others kept as they are)",
                            skipped);

    int wanted = -1;
    const auto active = static_cast<std::size_t>(extras.Number("setlist.active", 0, 0, MaxLists));
    for (auto& [number, read] : lists) {
        if (number == active)
            wanted = static_cast<int>(_lists.size());
        Setlist setlist;
        setlist.name = read.name.empty() ? "Setlist " + std::to_string(number) : std::move(read.name);
        setlist.advanceBars = read.bars;
        setlist.otherFields = std::move(read.otherFields);
        for (auto& [entry, preset] : read.entries) {
            setlist.presets.push_back(std::move(preset));
            const auto song = read.songs.find(entry);
            setlist.songs.push_back(song != read.songs.end() && song->second);
        }
        _lists.push_back(std::move(setlist));
    }
    _active = wanted;
    _position = static_cast<int>(extras.Number("setlist.position", 1, 1, MaxEntries)) - 1;
    Fit();
}

void Setlists::Write(ExtraSettings& extras) const
{
    for (const std::string& key : extras.Keys(Prefix)) {
        std::string_view field;
        if (ListOf(key, field) != 0 || key == "setlist.active" || key == "setlist.position")
            extras.Remove(key);
    }
    for (std::size_t n = 0; n < _lists.size(); ++n) {
        const std::string list = std::string(Prefix) + std::to_string(n + 1) + '.';
        const Setlist& setlist = _lists[n];
        // First, so that a field this copy sets again ("bars") takes its new value.
        for (const auto& [field, value] : setlist.otherFields)
            extras.SetText(list + field, value);
        extras.SetText(list + "name", setlist.name);
        if (setlist.advanceBars != 0)
            extras.SetNumber(list + "bars", setlist.advanceBars);
        for (std::size_t entry = 0; entry < setlist.presets.size(); ++entry) {
            extras.SetText(list + std::to_string(entry + 1), setlist.presets[entry]);
            if (setlist.IsSong(entry))
                extras.SetNumber(list + std::to_string(entry + 1) + ".song", 1);
        }
    }
    if (_active >= 0) {
        extras.SetNumber("setlist.active", _active + 1);
        extras.SetNumber("setlist.position", _position + 1);
    }
}

const Setlist* Setlists::ActiveList() const
{
    return _active >= 0 ? &_lists[static_cast<std::size_t>(_active)] : nullptr;
}

void Setlists::Fit()
{
    if (_active >= static_cast<int>(_lists.size()))
        _active = -1;
    if (_active < 0) {
        _position = -1;
        return;
    }
    const int size = static_cast<int>(_lists[static_cast<std::size_t>(_active)].presets.size());
    if (_position >= size)
        _position = size - 1;
    if (_position < 0 && size > 0)
        _position = 0;
}

void Setlists::Activate(int index, const PresetExists& exists)
{
    _active = index >= 0 && index < static_cast<int>(_lists.size()) ? index : -1;
    _position = -1;
    if (_active >= 0 && !Step(1, exists))
        _position = 0;  // nothing in it can be played: shown at its first entry
    Fit();
}

bool Setlists::Next(const PresetExists& exists)
{
    return Step(1, exists);
}

bool Setlists::Previous(const PresetExists& exists)
{
    return Step(-1, exists);
}

bool Setlists::Step(int direction, const PresetExists& exists)
{
    const int position = Following(direction, exists);
    if (position < 0)
        return false;
    _position = position;
    return true;
}

int Setlists::Following(int direction, const PresetExists& exists) const
{
    const Setlist* setlist = ActiveList();
    if (setlist == nullptr)
        return -1;
    const int size = static_cast<int>(setlist->presets.size());
    for (int n = _position + direction; n >= 0 && n < size; n += direction) {
        if (Exists(*setlist, static_cast<std::size_t>(n), exists))
            return n;
    }
    return -1;
}

bool Setlists::Exists(const Setlist& setlist, std::size_t entry, const PresetExists& exists) const
{
    const std::string& name = setlist.presets[entry];
    if (setlist.IsSong(entry))
        return _songExists && _songExists(name);
    return exists(name);
}

bool Setlists::IsSongAt(int position) const
{
    const Setlist* setlist = ActiveList();
    return setlist != nullptr && position >= 0 && setlist->IsSong(static_cast<std::size_t>(position));
}

void Setlists::MoveTo(int position)
{
    const Setlist* setlist = ActiveList();
    if (setlist != nullptr && position >= 0 && position < static_cast<int>(setlist->presets.size()))
        _position = position;
}

std::string Setlists::CurrentPreset() const
{
    return PresetAt(_position);
}

std::string Setlists::PresetAt(int position) const
{
    const Setlist* setlist = ActiveList();
    if (setlist == nullptr || position < 0 || position >= static_cast<int>(setlist->presets.size()))
        return {};
    return setlist->presets[static_cast<std::size_t>(position)];
}

}  // namespace Configuration
