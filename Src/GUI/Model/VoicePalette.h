#pragma once

#include <cstdint>

namespace GUI {

// The twelve voice colours (0x00BBGGRR), indexed by a voice's colour setting 0..11. The visual
// beat indicator, the colour swatches and the step sequencer grid all draw with them.
inline constexpr std::uint32_t VoicePalette[12] = {
    0xC8784A, 0x0000C0, 0xD0504C, 0x00E0E0, 0xA08040, 0x806464,
    0x06068E, 0x964696, 0x328CDC, 0x44D044, 0x3266A0, 0xC05454,
};

// The colour of a voice's colour index; an index outside 0..11 gives the last colour.
constexpr std::uint32_t VoiceColour(int index)
{
    return index >= 0 && index < 12 ? VoicePalette[index] : VoicePalette[11];
}

}  // namespace GUI
