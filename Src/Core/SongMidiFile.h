#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Configuration/Song.h"

namespace Core {

// A song as a Standard MIDI File (format 1), so that a sequencer takes its grid: the first track
// holds the song's name, a time signature and a marker (the label) at every section, and the
// tempo; the second a note on the percussion channel for every sounding beat (muted bars and
// silent beats have none; subdivisions are not written). A steady section has one tempo; a
// ramp has one a beat, each giving that beat its exact length on the tempo curve, with the
// rounding to microseconds carried on so that no beat strays more than a microsecond.
class SongMidiFile {
public:
    static constexpr int TicksPerQuarter = 960;
    static constexpr std::size_t MaxFile = 64 << 20;
    // Beats written at most (days of music): sections beyond are left out.
    static constexpr std::int64_t MaxBeats = 1'000'000;

    // The notes and velocities of the three sounding beat levels.
    struct Sounds {
        std::int32_t note[3] = {76, 77, 77};  // accent, normal, soft: the wood blocks
        std::int32_t velocity[3] = {127, 100, 64};
    };

    static std::string Write(const Configuration::Song& song, const Sounds& sounds);
    static std::string Write(const Configuration::Song& song);

    // What a file holds, as far as a song's grid goes: its note-ons and the time signatures and
    // markers, with their times from the tempo events.
    struct Contents {
        struct Note {
            std::int64_t tick = 0;
            double seconds = 0;
            std::int32_t note = 0;
            std::int32_t velocity = 0;
        };
        struct Meter {
            std::int64_t tick = 0;
            std::int32_t beats = 4;
            std::int32_t unit = 4;
        };
        std::int32_t ticksPerQuarter = 0;
        std::vector<Note> notes;
        std::vector<Meter> meters;
        std::vector<std::string> markers;
    };
    // Reads a file; false for one that is not a Standard MIDI File of ticks per quarter note
    // (what could be read before the fault is kept).
    static bool Read(std::string_view bytes, Contents& contents);
};

}  // namespace Core
