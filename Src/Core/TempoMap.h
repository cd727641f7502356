#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Configuration/Song.h"

namespace Core {

// The tempo-map text of click-track programs: one section a line,
//
//   [label:] bars [meter] tempo[-tempo2] [pattern] [volume]     # comment
//
// meter as 7/8 (4/4 when left out), tempo in quarter notes per minute whatever the meter (a
// ramp from tempo to tempo2 across the line), pattern one character a beat (X accent, x normal,
// . silent), volume a factor (1 the full volume). Ticova's sections hold more than a line (soft
// beats, groups, subdivisions, muted bars) and a little less (one tempo a beat, a factor above
// one): what does not fit is left out or brought into range, and said in a note.
class TempoMap {
public:
    static constexpr std::size_t MaxText = 1 << 20;

    struct Note {
        enum class Kind : std::int32_t {
            Unreadable,       // the line is not a section; it is left out
            BeatTempos,       // one tempo a beat: the first is kept for the whole line
            TempoOutOfRange,  // brought into 10..400 beats of the meter a minute
            PatternLength,    // the pattern does not have one character a beat: fitted to the bar
            VolumeAboveFull,  // a factor above 1 plays at the full volume
            MeterOutOfRange,  // beats or note value Ticova cannot play: brought into range
            TooManyLines,     // the lines after the most a song holds are left out
            // Writing a tempo map:
            SoftBeats,     // soft beats are written as normal ones
            Subdivisions,  // subdivisions are not written
            Endless,       // an endless section is written as one bar
            Groups,        // groups are written as accents of one bar
        };
        std::int32_t line = 0;  // 1-based line of the text read; the section's number when writing
        Kind kind = Kind::Unreadable;
        bool operator==(const Note&) const = default;
    };

    // Reads `text` into `song`'s sections (its name is left as it is). Lines that cannot be read
    // are left out with a note; a text with no section at all gives a song with none.
    static std::vector<Note> Read(std::string_view text, Configuration::Song& song);
    // Writes `song` as a tempo map; what it cannot hold is noted.
    static std::string Write(const Configuration::Song& song, std::vector<Note>* notes = nullptr);
    // The note in English, for the log and the command line.
    static std::string Describe(const Note& note);
};

}  // namespace Core
