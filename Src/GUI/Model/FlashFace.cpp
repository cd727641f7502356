#include "GUI/Model/FlashFace.h"

#include <algorithm>

namespace GUI {

FlashFace::Layout FlashFace::Arrange(float width, float height, int beats, int digits)
{
    Layout layout;
    width = std::max(width, 1.0f);
    height = std::max(height, 1.0f);
    const bool dots = beats > 1 && beats <= MaxDots;
    // The bottom fifth holds the row of beats; the number fills what is above it.
    const float numberArea = dots ? height * 0.8f : height;
    layout.numberX = width / 2;
    layout.numberY = numberArea / 2;
    // A digit is about 0.6 of its height wide; the number takes at most 90 % of the width and
    // 95 % of its area's height (the digits themselves are about 70 % of that).
    const float byWidth = width * 0.9f / (0.6f * static_cast<float>(std::max(digits, 1)));
    layout.numberSize = std::min(numberArea * 0.95f, byWidth);
    layout.pulseRadius = std::min(width, numberArea) * 0.42f;
    if (dots) {
        layout.dots = beats;
        const float rowHeight = height - numberArea;
        layout.dotY = numberArea + rowHeight / 2;
        layout.dotStep = width / static_cast<float>(beats + 1);
        layout.dotRadius = std::min(rowHeight * 0.3f, layout.dotStep * 0.35f);
        layout.firstDotX = layout.dotStep;
    }
    return layout;
}

std::uint32_t FlashFace::Rgb(std::uint32_t bgr)
{
    return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

std::uint32_t FlashFace::TextOn(std::uint32_t background)
{
    // Relative luminance, in the weights of the eye (ITU-R BT.601), out of 255 000.
    const std::uint32_t red = (background >> 16) & 0xFF;
    const std::uint32_t green = (background >> 8) & 0xFF;
    const std::uint32_t blue = background & 0xFF;
    return red * 299 + green * 587 + blue * 114 > 140'000 ? 0x000000 : 0xFFFFFF;
}

std::uint32_t FlashFace::Dim(std::uint32_t colour, int percent)
{
    const auto part = [&](int shift) {
        return (((colour >> shift) & 0xFF) * static_cast<std::uint32_t>(percent) / 100) << shift;
    };
    return part(16) | part(8) | part(0);
}

int FlashFace::Digits(int number)
{
    int digits = 1;
    while (number >= 10) {
        number /= 10;
        ++digits;
    }
    return digits;
}

}  // namespace GUI
