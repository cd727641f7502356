#include "GUI/Model/Circle.h"

#include <cmath>
#include <new>

#include "System/ILog.h"

namespace GUI {

namespace {

// Centres further out than this cannot touch an image and would not fit an int.
constexpr float CoordinateLimit = 1.0e8f;

}  // namespace

Circle::Circle(int capacity) noexcept
    : _ramp{}, _squareX(capacity > 0 ? new (std::nothrow) float[static_cast<unsigned>(capacity)] : nullptr),
      _capacity(_squareX ? capacity : 0)
{
    if (!_squareX)
        System::Log().Write(System::Error, "Unable to allocate memory for _squareX array object in Circle constructor");
}

Circle::~Circle()
{
    delete[] _squareX;
}

void Circle::Draw(std::uint32_t colour, const PixelImage& image, std::uint32_t background, float radius, float centreX,
                  float centreY, float outline, float blend)
{
    if (!_squareX || !image.pixels || image.width <= 0 || image.height <= 0 || image.stride < image.width)
        return;
    if (!(std::fabs(centreX) < CoordinateLimit) || !(std::fabs(centreY) < CoordinateLimit) ||
        !(std::fabs(radius) < CoordinateLimit) || !(std::fabs(outline) < CoordinateLimit) || !std::isfinite(blend))
        return;

    // Ramp from the background (entry 0) to the disc colour (entry 255), channel by channel.
    for (int i = 0; i < 256; ++i) {
        float t = static_cast<float>(i) / 255.0f;
        float u = static_cast<float>(255 - i) / 255.0f;
        std::uint32_t entry = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            float disc = static_cast<float>((colour >> shift) & 0xFF);
            float back = static_cast<float>((background >> shift) & 0xFF);
            entry |= static_cast<std::uint32_t>(static_cast<int>(disc * t + back * u)) << shift;
        }
        _ramp[i] = ColourToPixel(entry);
    }

    float R = radius + outline / 2.0f;
    float outer = (R + blend / 2.0f) * (R + blend / 2.0f);
    float middle = (R - blend / 2.0f) * (R - blend / 2.0f);
    float innerRadius = radius - outline / 2.0f - blend / 2.0f;
    float inner = innerRadius * innerRadius;

    float left = centreX - R - 1.0f;
    float right = centreX + R + 1.0f;
    float top = centreY - R - 1.0f;
    float bottom = centreY + R + 1.0f;
    float lastColumn = static_cast<float>(image.width - 1);
    float lastRow = static_cast<float>(image.height - 1);
    float fx0 = left > 0.0f ? left : 0.0f;
    float fx1 = lastColumn < right ? lastColumn : right;
    float fy0 = top > 0.0f ? top : 0.0f;
    float fy1 = lastRow < bottom ? lastRow : bottom;
    if (!(fx1 > fx0) || !(fy1 > fy0))
        return;
    int x0 = static_cast<int>(fx0);
    int x1 = static_cast<int>(fx1);
    int y0 = static_cast<int>(fy0);
    int y1 = static_cast<int>(fy1);
    // The table's capacity bounds the span; a wider disc than the owner planned for is cut
    // rather than written past the table.
    if (x1 - x0 > _capacity)
        x1 = x0 + _capacity;

    int columnX = static_cast<int>(centreX);
    for (int k = 0; k < x1 - x0; ++k) {
        long long dx = static_cast<long long>(x0 + k - columnX);
        _squareX[k] = static_cast<float>(dx * dx);
    }

    for (int y = y0; y < y1; ++y) {
        float dy = static_cast<float>(y) - centreY;
        float dy2 = dy * dy;
        std::uint32_t* pixel = image.Row(y) + x0;
        for (int k = 0; k < x1 - x0; ++k, ++pixel) {
            float d2 = _squareX[k] + dy2;
            std::uint32_t value;
            if (d2 < inner) {
                value = _ramp[255];
            } else if (d2 >= outer) {
                continue;
            } else if (d2 < middle) {
                value = _ramp[255];
            } else {
                double level =
                    (static_cast<double>(R) - static_cast<double>(std::sqrt(d2))) * 2.0 / blend * 127.5 + 127.5;
                int index = level > 0.0 ? (level < 255.0 ? static_cast<int>(level) : 255) : 0;
                value = _ramp[index];
            }
            *pixel = (*pixel & 0xFF000000u) | value;
        }
    }
}

}  // namespace GUI
