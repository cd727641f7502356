#pragma once

#include <algorithm>
#include <cstdint>

namespace GUI {

// A voice's volume: a MIDI velocity from 0 to 127. The Sound Settings page's sliders and the
// step sequencer's velocity keys both set it through here, in the same steps.
struct VoiceVolume {
    static constexpr int Maximum = 127;
    // A slider's page keys and the step sequencer's + and - move it this far; a slider's arrows
    // and the step sequencer's Ctrl with + and - by one.
    static constexpr int Step = 10;

    static std::uint32_t Clamped(long long volume)
    {
        return static_cast<std::uint32_t>(std::clamp<long long>(volume, 0, Maximum));
    }
    static std::uint32_t Stepped(std::uint32_t volume, int steps, int stepSize = Step)
    {
        return Clamped(static_cast<long long>(volume) + static_cast<long long>(steps) * stepSize);
    }
};

}  // namespace GUI
