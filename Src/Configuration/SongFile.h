#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Configuration/Song.h"

namespace Configuration {

// The user's songs, in a file of their own beside Ticova.conf ("Ticova-songs.txt"), UTF-8, a
// song a block:
//
//   song = Friday opener
//   section = bars=4 meter=2+2+3/8 tempo=120 end=100 accents=Xxo. sub=2,0 volume=100 mute=0,0 compound=0 label=intro
//
// `label` is the rest of its line; every other field may be left out (its default). A song with
// a line that cannot be read is left out as a whole, and named in what Read returns; the others
// are read. Saving replaces the file atomically; the first save of a SongFile keeps the file as
// it was in "<file>.bak" (a file too damaged to read is moved there whole).
class SongFile {
public:
    static constexpr std::size_t SizeLimit = 4 << 20;
    static constexpr std::size_t MaxSongs = 1000;
    static constexpr std::size_t MaxName = 200;

    // A song left out: its name (or the line's number where there was none) and the line.
    struct Damage {
        std::string song;
        std::int32_t line = 0;
        bool operator==(const Damage&) const = default;
    };

    // `path` empty: the file beside the configuration file.
    explicit SongFile(std::string path = {});
    std::string Path() const;

    static std::vector<Damage> Read(std::string_view text, std::vector<Song>& songs);
    // A section's meter as "2+2+3/8" and its accents as one character a beat (X accent, x normal,
    // o soft, . silent; nothing for the default ones), and back (false: not such a text; the
    // section's fields are then not to be used).
    static std::string MeterText(const SongSection& section);
    static std::string AccentText(const SongSection& section);
    static bool ReadMeter(std::string_view text, SongSection& section);
    static bool ReadAccents(std::string_view text, SongSection& section);
    // The subdivisions as "s" (the settings'), "2" or "2,3" (two against three), and the muted
    // bars as "3,1" (three bars played, one only shown; "0" for none), and back.
    static std::string SubdivisionText(const SongSection& section);
    static std::string MutedBarsText(const SongSection& section);
    static bool ReadSubdivisions(std::string_view text, SongSection& section);
    static bool ReadMutedBars(std::string_view text, SongSection& section);
    static std::string Write(const std::vector<Song>& songs);

    // Reads the file into `songs`; a missing file is no songs. False when the file exists but
    // cannot be read (or is too large): `songs` is then empty and the file is left as it is.
    // Every damaged song is logged too.
    bool Load(std::vector<Song>& songs, std::vector<Damage>& damaged);
    // Writes `songs` (the first time, keeping the file as it was in "<file>.bak"). False (and
    // logged) on failure, with the file as it was.
    bool Save(const std::vector<Song>& songs);

private:
    std::string _path;
    bool _backedUp = false;
};

}  // namespace Configuration
