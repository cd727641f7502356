#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Configuration {

class ExtraSettings;

// A named, ordered list of presets and songs to play through, each as often as wanted.
struct Setlist {
    std::string name;                  // UTF-8
    std::vector<std::string> presets;  // preset or song names (UTF-8), in playing order
    std::int32_t advanceBars = 0;      // play each entry this many bars, then the next (0: never)
    // Fields of the list this copy does not know (a newer copy's), kept as they were read.
    std::map<std::string, std::string> otherFields;
    // songs[n]: entry n names a song; an entry beyond its end names a preset.
    std::vector<bool> songs;

    bool IsSong(std::size_t entry) const { return entry < songs.size() && songs[entry]; }
    // Edits that keep the entries' kinds with them.
    void Insert(std::size_t at, std::string entryName, bool song);
    void Erase(std::size_t entry);
    void Swap(std::size_t a, std::size_t b);
};

// The user's setlists, which one is in use and where in it: kept in the second settings file
// under "setlist." (never in Ticova.conf):
//
//   setlist.active = 2         the list in use, 1-based (0 or missing: none)
//   setlist.position = 3       the entry in use, 1-based
//   setlist.2.name = Friday
//   setlist.2.bars = 16
//   setlist.2.1 = Ballad       entry 1 ... the numbers give the order, gaps are closed
//   setlist.2.3.song = 1       entry 3 is a song (without it: a preset, as in older files)
//
// Presets are named, not copied: an entry whose preset was deleted or renamed stays in the list,
// is shown as missing and is skipped when moving through the list. Keys this copy does not
// understand (a newer copy's) are kept: those of a list go with it, the others stay as they are.
class Setlists {
public:
    static constexpr std::size_t MaxLists = 100;
    static constexpr std::size_t MaxEntries = 500;
    static constexpr std::int32_t MaxBars = 999;
    static constexpr std::string_view Prefix = "setlist.";

    using PresetExists = std::function<bool(const std::string& name)>;

    // Reads what `extras` holds; keys it cannot use are left out with a log line.
    void Read(const ExtraSettings& extras);
    // Replaces the "setlist." keys of `extras` that Read takes in with these lists.
    void Write(ExtraSettings& extras) const;

    std::vector<Setlist>& Lists() { return _lists; }
    const std::vector<Setlist>& Lists() const { return _lists; }

    // The list in use (-1: none) and its entry (-1: none, or the list is empty).
    int Active() const { return _active; }
    int Position() const { return _position; }
    const Setlist* ActiveList() const;
    // Whether a song of that name exists: song entries are checked by this (none set: no song
    // entry can be played), preset entries by the function each call is given.
    void SetSongExists(PresetExists songExists) { _songExists = std::move(songExists); }
    // Whether entry `position` of the list in use is a song.
    bool IsSongAt(int position) const;
    // Puts list `index` in use (-1: none) at its first entry whose preset exists.
    void Activate(int index, const PresetExists& exists);
    // The next / previous entry of the list in use whose preset exists: true, with the position
    // moved there; false at the end (or start) of the list, the position unchanged.
    bool Next(const PresetExists& exists);
    bool Previous(const PresetExists& exists);
    // The position Next (+1) or Previous (-1) would move to, or -1; nothing moves.
    int Following(int direction, const PresetExists& exists) const;
    // Puts entry `position` of the list in use in use (out of range: nothing changes).
    void MoveTo(int position);
    // The entry's preset name; empty when there is no entry in use.
    std::string CurrentPreset() const;
    // The preset name of entry `position` of the list in use; empty when there is none.
    std::string PresetAt(int position) const;
    // Keeps the list in use and the position valid after lists or entries were edited.
    void Fit();

private:
    bool Step(int direction, const PresetExists& exists);
    bool Exists(const Setlist& setlist, std::size_t entry, const PresetExists& exists) const;

    std::vector<Setlist> _lists;
    int _active = -1;
    int _position = -1;
    PresetExists _songExists;
};

}  // namespace Configuration
