#include "GUI/Model/TempoInput.h"

#include <algorithm>
#include <cmath>

namespace GUI {

std::int32_t TempoInput::SliderPosition(std::int32_t bpm) noexcept
{
    return static_cast<std::int32_t>(std::log2(static_cast<double>(bpm) + 128.0) * 1000.0 + 0.5);
}

std::int32_t TempoInput::SliderTempo(std::int32_t position) noexcept
{
    return static_cast<std::int32_t>(std::exp2(static_cast<double>(position) / 1000.0) + 0.5) - 128;
}

std::int32_t TempoInput::Played(std::int64_t bpm) noexcept
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(bpm, SliderMinimumTempo, SliderMaximumTempo));
}

std::int32_t TempoInput::KeyStep(std::int32_t bpm, Key key, bool ctrl, bool shift, int repeatCount) noexcept
{
    std::int64_t step = 0;
    switch (key) {
    case Key::PageUp: step = 10; break;
    case Key::PageDown: step = -10; break;
    case Key::Up:
    case Key::Right:
    case Key::Plus: step = 1; break;
    case Key::Down:
    case Key::Left:
    case Key::Minus: step = -1; break;
    case Key::Other: return 0;
    }
    std::int64_t multiplier = ctrl ? 2 : 1;
    if (shift)
        multiplier *= 2;
    if (repeatCount < 1)
        repeatCount = 1;
    return Played(static_cast<std::int64_t>(Played(bpm)) + step * multiplier * repeatCount);
}

}  // namespace GUI
