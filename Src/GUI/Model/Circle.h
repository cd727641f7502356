#pragma once

#include <cstdint>

#include "GUI/Model/PixelImage.h"

namespace GUI {

// Draws a filled disc with an anti-aliased rim straight into a 32-bit image, blending the rim
// into a known background colour.
class Circle {
public:
    // `capacity` is the widest column span a draw may visit: 2 * (radius + outline / 2) + 2
    // rounded up, or the image width when that is smaller. The grid's hits need 18 (it holds
    // 24); a 32-pixel indicator needs at most 31 (it holds 32).
    explicit Circle(int capacity) noexcept;
    ~Circle();

    Circle(const Circle&) = delete;
    Circle& operator=(const Circle&) = delete;

    // Disc of colour `colour` over `background` (both 0x00BBGGRR) centred at (centreX, centreY)
    // with radius `radius`, outline width `outline` and a rim that fades over `blend` pixels.
    // Horizontal distances are measured from the centre's column (centreX truncated), vertical
    // ones from the exact centreY. The image's last column and last row are never painted.
    void Draw(std::uint32_t colour, const PixelImage& image, std::uint32_t background, float radius, float centreX,
              float centreY, float outline, float blend);

    bool IsReady() const { return _squareX != nullptr; }
    int Capacity() const { return _capacity; }

private:
    std::uint32_t _ramp[256];  // pixel values from the background (0) to the disc colour (255)
    float* _squareX;           // squared horizontal distances of the columns being drawn
    int _capacity;
};

}  // namespace GUI
