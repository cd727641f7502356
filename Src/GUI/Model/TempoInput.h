#pragma once

#include <cstdint>

namespace GUI {

// The rules by which the main window turns slider positions and keys into a tempo.
class TempoInput {
public:
    // The tempo slider is logarithmic, so that slow tempi get more travel.
    static constexpr std::int32_t SliderMinimumTempo = 10;
    static constexpr std::int32_t SliderMaximumTempo = 400;
    static std::int32_t SliderPosition(std::int32_t bpm) noexcept;
    static std::int32_t SliderTempo(std::int32_t position) noexcept;

    // Keys as far as tempo steps go; every other key is Other.
    enum class Key { PageUp, PageDown, Up, Down, Left, Right, Plus, Minus, Other };

    // The tempo `bpm` brought into what the metronome plays (the slider's range): a tempo shown
    // or stored outside it would not be the one heard.
    static std::int32_t Played(std::int64_t bpm) noexcept;

    // The tempo after a key held for `repeatCount` key-downs from tempo `bpm`, stopping at the ends
    // of the played range, or 0 when the key is no tempo key. Ctrl doubles the step, Shift doubles it again.
    static std::int32_t KeyStep(std::int32_t bpm, Key key, bool ctrl, bool shift, int repeatCount) noexcept;
};

}  // namespace GUI
