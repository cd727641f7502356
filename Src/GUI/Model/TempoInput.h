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

    // Key steps reach wider than the slider: 4 to 1000.
    static constexpr std::int32_t KeyMinimumTempo = 4;
    static constexpr std::int32_t KeyMaximumTempo = 1000;

    // The tempo after a key held for `repeatCount` key-downs from tempo `bpm`, or 0 when the
    // key is no tempo key or the step would leave 4..1000. Ctrl doubles the step, Shift doubles it again.
    static std::int32_t KeyStep(std::int32_t bpm, Key key, bool ctrl, bool shift, int repeatCount) noexcept;
};

}  // namespace GUI
