#pragma once

#include <cstdint>

namespace Core {

// One General MIDI percussion instrument: its English name (the string tables carry the shown,
// translatable names in the same order) and its key number on MIDI channel 10.
struct PercussionInstrument {
    const char* name;
    std::int32_t note;
};

// The 47 percussion instruments in the order every instrument list shows them (alphabetical by
// English name); a voice's Instrument setting is a row number of this table.
class PercussionTable {
public:
    static constexpr int Count = 47;
    static constexpr int DefaultRow = 1;  // "Acoustic Snare"

    // The row; a number outside the table gives the default row, so that a damaged setting still
    // plays a known sound instead of reading past the table.
    static const PercussionInstrument& Row(std::uint32_t row) noexcept;
    static std::int32_t Note(std::uint32_t row) noexcept { return Row(row).note; }
};

}  // namespace Core
