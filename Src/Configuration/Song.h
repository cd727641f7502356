#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Configuration {

// How loud one beat of a bar sounds: the accent plays the first voice, a normal beat the second,
// a soft one the third; a silent beat plays nothing (the flash still shows it).
enum class BeatLevel : std::uint8_t { Accent, Normal, Soft, Silent };

// One section of a song: so many bars of one meter at one tempo, or with the tempo moving
// evenly (linear in beats) from one value to another across the section.
struct SongSection {
    static constexpr std::int32_t Endless = 0;
    static constexpr std::int32_t MaxBars = 9999;
    static constexpr std::int32_t MaxBeats = 64;
    static constexpr double MinTempo = 10;
    static constexpr double MaxTempo = 400;
    static constexpr std::int32_t MaxSubdivision = 8;
    static constexpr std::int32_t FromSettings = -1;

    std::string label;      // UTF-8, may be empty
    std::int32_t bars = 4;  // Endless (0): plays until stopped (the last section only)
    // The meter: groups of beats (2+2+3); one group for a plain bar (4 is 4/4). The beats are of
    // `unit` (the meter's denominator: 4 quarter notes, 8 eighth notes).
    std::vector<std::int32_t> groups{4};
    std::int32_t unit = 4;
    // Compound time: the tempo counts groups of three beats (6/8 at 60 is two dotted quarters a
    // second), and the first beat of each three is a normal beat.
    bool compound = false;
    // Beats per minute of the meter's beat (of three in compound time) at the section's start and
    // end; the same twice for a steady tempo.
    double tempo = 120;
    double endTempo = 120;
    // One level per beat of the bar; empty: the accent on the first beat, a normal beat at the
    // start of every other group (or three in compound time), soft beats elsewhere (normal in a
    // bar of one group).
    std::vector<BeatLevel> accents;
    // Clicks of the fourth and fifth voice between beats (0..8), or FromSettings.
    std::int32_t subdivision = FromSettings;
    std::int32_t subdivision2 = FromSettings;
    // The section's volume in percent of the current settings' volumes (0..100).
    std::int32_t volume = 100;
    // Muted bars that train inner time: after `playBars` bars, `muteBars` bars that are only shown,
    // again and again (0 of either: every bar plays).
    std::int32_t playBars = 0;
    std::int32_t muteBars = 0;

    std::int32_t BeatsPerBar() const noexcept;
    bool Ramp() const noexcept { return tempo != endTempo; }
    // The level of beat `beat` of the bar (its own or the default).
    BeatLevel Level(std::int32_t beat) const noexcept;
    // Whether bar `bar` (0-based within the section) is one of the muted bars.
    bool Muted(std::int32_t bar) const noexcept;
    // Brings every field into its range (a section read from a file or typed by hand); false when
    // something had to change.
    bool Fit();

    bool operator==(const SongSection&) const = default;
};

// A named list of sections played as one run. A plain click is a song of one endless section.
struct Song {
    static constexpr std::size_t MaxSections = 999;

    std::string name;  // UTF-8
    std::vector<SongSection> sections;

    // Brings every section into range; only the last may be endless (an endless one earlier
    // plays one bar). False when something had to change.
    bool Fit();

    bool operator==(const Song&) const = default;
};

}  // namespace Configuration
