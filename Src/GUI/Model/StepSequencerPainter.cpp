#include "GUI/Model/StepSequencerPainter.h"

#include <algorithm>
#include <cstring>

#include "GUI/Model/StepSequencerGrid.h"
#include "GUI/Model/VoicePalette.h"

namespace GUI {

namespace {

constexpr std::uint32_t Opaque = 0xFF000000u;
constexpr std::uint32_t BandFill = 0xFFD8D8D8u;
constexpr std::uint32_t BandOutline = 0xFFA0A0A0u;

// Line colours.
constexpr std::uint32_t InnerLine = 0xFFE4E4E4u;
constexpr std::uint32_t BeatLine = 0xFFC0C0C0u;
constexpr std::uint32_t AxisLine = 0xFF202020u;

// Hits: radius, outline and blend of the disc; selected hits are grey.
constexpr float HitRadius = 7.0f;
constexpr float HitOutline = 2.0f;
constexpr float HitBlend = 1.0f;
constexpr std::uint32_t SelectedHitColour = 0xC0C0C0;

// A line one pixel wide from (x, top) to (x, bottom), both ends included, cut to the image.
void VerticalLine(const PixelImage& image, int x, int top, int bottom, std::uint32_t colour)
{
    if (x < 0 || x >= image.width)
        return;
    for (int y = std::max(top, 0); y <= bottom && y < image.height; ++y)
        image.At(x, y) = colour;
}

void HorizontalLine(const PixelImage& image, int left, int right, int y, std::uint32_t colour)
{
    if (y < 0 || y >= image.height)
        return;
    std::fill(image.Row(y) + std::max(left, 0), image.Row(y) + std::min(right + 1, image.width), colour);
}

}  // namespace

void StepSequencerPainter::Redraw(const PixelImage& image, const Layout& layout, int left, int top, int right,
                                  int bottom, IDecorations& decorations)
{
    if (!image.pixels)
        return;
    const int rowHeight = std::max(1, layout.rowHeight);
    left = std::clamp(left, 0, image.width);
    right = std::clamp(right, left, image.width);
    top = std::clamp(top, 0, image.height);
    bottom = std::clamp(bottom, top, image.height);
    if (top > HeaderHeight)
        top = HeaderHeight + (top - HeaderHeight) / rowHeight * rowHeight;
    if (bottom > HeaderHeight) {
        bottom = HeaderHeight + (bottom - HeaderHeight + rowHeight - 1) / rowHeight * rowHeight;
        bottom = std::min(bottom, image.height);
    }
    if (top >= bottom)
        return;

    const int visibleRows = _grid.VisibleRowCount();
    // 1. Background: white, odd display rows shaded.
    for (int y = top; y < bottom; ++y)
        std::fill(image.Row(y) + left, image.Row(y) + image.width, White);
    for (int d = 1; d < visibleRows; d += 2) {
        const int rowTop = HeaderHeight + d * rowHeight;
        if (rowTop < top || rowTop >= bottom)
            continue;
        for (int y = rowTop; y < rowTop + rowHeight && y < image.height; ++y)
            std::fill(image.Row(y) + std::max(left, layout.NameEdge()), image.Row(y) + image.width, OddRowShade);
    }

    // 2. The axes, then the column lines with the beat numbers above them.
    VerticalLine(image, layout.NameEdge(), HeaderHeight, layout.viewHeight - 1, AxisLine);
    HorizontalLine(image, layout.NameEdge(), image.width - 1, HeaderHeight, AxisLine);
    ColumnLines(image, layout, top, bottom, decorations);

    // 3. The names of the visible rows.
    if (left < layout.NameEdge()) {
        for (int d = 0; d < visibleRows; ++d) {
            const int r = _grid.RowOfDisplayRow(d);
            if (r >= 0)
                decorations.RowName(NameLeft, HeaderHeight + d * rowHeight + rowHeight / 2 - 9,
                                    layout.NameEdge() - NameLeft - 1, 20, r);
        }
    }

    // 4. The hits, blended into the shade of their row.
    Hits(image, layout, top, bottom);

    // 5. The start marker.
    if (top < HeaderHeight)
        decorations.StartMarker(_grid.StartColumn() * layout.columnWidth + layout.MarkerX());
}

void StepSequencerPainter::ColumnLines(const PixelImage& image, const Layout& layout, int top, int bottom,
                                       IDecorations& decorations) const
{
    const int columns = _grid.ColumnCount();
    const int cellsPerBeat = _grid.CellsPerBeat();
    const int beatsPerBar = std::max(1, _grid.BeatsPerBar());
    const int lineTop = std::max(top, HeaderHeight);
    const bool header = top < HeaderHeight;
    auto line = [&](int column, std::uint32_t colour, int label) {
        const int x = layout.FirstX() + column * layout.columnWidth;
        if (lineTop < bottom)
            VerticalLine(image, x, lineTop, bottom - 1, colour);
        if (header && label > 0)
            decorations.BeatNumber(x - 3, BeatNumberTop, 40, HeaderHeight - BeatNumberTop, label);
    };
    int column = 0;
    if (cellsPerBeat == 0) {
        for (; column < columns; ++column)
            line(column, AxisLine, column % beatsPerBar + 1);
        return;
    }
    const bool compound = _grid.CompoundTime();
    for (int bar = 0; bar < _grid.NumBars() && column < columns; ++bar) {
        const int groups = compound ? (beatsPerBar + 2) / 3 : beatsPerBar;
        for (int g = 0; g < groups && column < columns; ++g) {
            int size = cellsPerBeat;
            if (compound)
                size = (g == groups - 1 && beatsPerBar % 3 != 0) ? beatsPerBar % 3 : 3;
            for (int k = 0; k < size && column < columns; ++k, ++column)
                line(column, k == 0 ? BeatLine : InnerLine, k == 0 ? g + 1 : 0);
        }
    }
}

void StepSequencerPainter::Hits(const PixelImage& image, const Layout& layout, int top, int bottom)
{
    const int rowHeight = std::max(1, layout.rowHeight);
    for (int d = 0; d < _grid.VisibleRowCount(); ++d) {
        const int r = _grid.RowOfDisplayRow(d);
        if (r < 0)
            continue;
        const int centreY = HeaderHeight + d * rowHeight + rowHeight / 2;
        if (centreY < top - 5 || centreY > bottom + 5)
            continue;
        const std::uint32_t background = (d & 1) ? 0xF0F0F0 : 0xFFFFFF;
        for (int j = 0; j < _grid.ColumnCount(); ++j) {
            const std::uint8_t cell = _grid.Cell(r, j);
            if (!StepSequencerGrid::IsHit(cell))
                continue;
            const std::uint32_t colour = StepSequencerGrid::IsSelected(cell)
                ? SelectedHitColour
                : VoiceColour(cell & StepSequencerGrid::ColourBits);
            _circle.Draw(colour, image, background, HitRadius,
                         static_cast<float>(layout.FirstX() + j * layout.columnWidth), static_cast<float>(centreY),
                         HitOutline, HitBlend);
        }
    }
}

void StepSequencerPainter::RedrawMarker(const PixelImage& image, const Layout& layout, IDecorations& decorations) const
{
    if (!image.pixels)
        return;
    for (int y = MarkerTop; y < HeaderHeight && y < image.height; ++y)
        std::fill(image.Row(y) + layout.NameEdge(), image.Row(y) + image.width, White);
    decorations.StartMarker(_grid.StartColumn() * layout.columnWidth + layout.MarkerX());
}

void StepSequencerPainter::CopyRows(const PixelImage& from, const PixelImage& to, int rows)
{
    if (!from.pixels || !to.pixels)
        return;
    rows = std::clamp(rows, 0, std::min(from.height, to.height));
    for (int y = 0; y < rows; ++y)
        std::memcpy(to.Row(y), from.Row(y),
                    static_cast<std::size_t>(std::min(from.width, to.width)) * sizeof(std::uint32_t));
}

void StepSequencerPainter::Band(const PixelImage& grid, const PixelImage& overlay, int x1, int y1, int x2, int y2,
                                int viewHeight)
{
    const int left = std::clamp(std::min(x1, x2), 0, overlay.width);
    const int right = std::clamp(std::max(x1, x2), left, overlay.width);
    const int top = std::clamp(std::min(y1, y2), 0, std::min(viewHeight, overlay.height));
    const int bottom = std::clamp(std::max(y1, y2), top, std::min(viewHeight, overlay.height));
    for (int y = top; y < bottom; ++y) {
        std::uint32_t* row = overlay.Row(y);
        const std::uint32_t* under = grid.Row(y);
        for (int x = left; x < right; ++x) {
            const bool edge = x == left || x == right - 1 || y == top || y == bottom - 1;
            const std::uint32_t band = edge ? BandOutline : BandFill;
            // Half band, half grid, so that the hits show through.
            std::uint32_t blended = Opaque;
            for (int shift = 0; shift < 24; shift += 8) {
                const std::uint32_t g = (under[x] >> shift) & 0xFF;
                const std::uint32_t o = (band >> shift) & 0xFF;
                blended |= ((g * 127 + o * 128) >> 8) << shift;
            }
            row[x] = blended;
        }
    }
}

void StepSequencerPainter::InvertCursor(const PixelImage& overlay, int left, int height, int viewHeight)
{
    if (!overlay.pixels)
        return;
    const int right = std::min(left + CursorWidth, overlay.width);
    const int bottom = std::min(HeaderHeight + height, std::min(viewHeight, overlay.height));
    for (int y = HeaderHeight; y < bottom; ++y) {
        std::uint32_t* row = overlay.Row(y);
        for (int x = std::max(left, 0); x < right; ++x)
            if (((x + y) & 1) == 0)
                row[x] ^= 0x00FFFFFFu;
    }
}

}  // namespace GUI
