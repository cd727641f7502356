#pragma once

#include <cstdint>

namespace GUI {

// What the big flash draws, worked out without the toolkit: where the beat number, the pulse of a
// subdivision and the row of the bar's beats go in a window of any size, and in which colours.
// A beat lights the whole window in its voice's colour (the bar's first beat, the accent, in
// voice 1's), with the beat's number large over it; a subdivision lights a smaller disc behind the
// number; between them the window is dark and the number stays, dimmed.
class FlashFace {
public:
    static constexpr std::uint32_t Dark = 0x101010;  // 0x00RRGGBB, as all colours here
    // Bars longer than this show no row of beats (the number alone).
    static constexpr int MaxDots = 16;

    enum class Lit { None, Beat, Subdivision };

    struct Layout {
        float numberX = 0, numberY = 0;  // the number's centre
        float numberSize = 0;            // its pixel height
        float pulseRadius = 0;           // the subdivision's disc, centred on the number
        int dots = 0;                    // the row of the bar's beats (0: none)
        float dotY = 0, dotRadius = 0, firstDotX = 0, dotStep = 0;
    };

    // The layout of a window `width` x `height` (in logical pixels) for a bar of `beats`.
    static Layout Arrange(float width, float height, int beats, int digits);
    // 0x00RRGGBB of a voice colour (0x00BBGGRR, as the palette holds them).
    static std::uint32_t Rgb(std::uint32_t bgr);
    // Black or white, whichever reads better on `background`.
    static std::uint32_t TextOn(std::uint32_t background);
    // `colour` dimmed to `percent` of its brightness.
    static std::uint32_t Dim(std::uint32_t colour, int percent);
    // Digits of the beat number 1..beats (1 for beats up to 9, ...).
    static int Digits(int number);
};

}  // namespace GUI
