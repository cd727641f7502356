#pragma once

#include <cstdint>

namespace GUI {

// A 32-bit image in memory, drawn into by the model's renderers and shown by the windows.
//
// Rows are stored top-down: row 0 in memory is the top line of the picture, and y grows
// downwards, which is the order of a QImage, so a window wraps the same memory as
// QImage(pixels, width, height, stride * 4, QImage::Format_RGB32) without copying. Drawing
// code measures y from the top of the picture as well; the picture is therefore the one a
// bottom-up bitmap would show when addressed row (height - 1 - y) from its first memory row.
//
// A pixel is 0xAARRGGBB: byte 0 blue, byte 1 green, byte 2 red (little-endian memory), byte 3
// left to the owner (0xFF for an opaque QImage). The renderers write only the colour bytes.
struct PixelImage {
    int width = 0;
    int height = 0;
    int stride = 0;  // pixels from the start of one row to the start of the next (>= width)
    std::uint32_t* pixels = nullptr;

    std::uint32_t* Row(int y) const { return pixels + static_cast<long>(y) * stride; }
    std::uint32_t& At(int x, int y) const { return Row(y)[x]; }
};

// Colours are given as 0x00BBGGRR; this is the same colour as a pixel (0x00RRGGBB).
constexpr std::uint32_t ColourToPixel(std::uint32_t colour)
{
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

}  // namespace GUI
