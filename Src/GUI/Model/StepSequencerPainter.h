#pragma once

#include <cstdint>

#include "GUI/Model/Circle.h"
#include "GUI/Model/PixelImage.h"

namespace GUI {

class StepSequencerGrid;

// Draws the step sequencer's grid into a 32-bit image: the shaded rows, the axes, the column
// lines, the hits, and over them the rubber band and the playback cursor. Texts and the start
// marker's smooth flag are the window's to draw (it has the fonts): the painter says where.
//
// Image coordinates: names left of the vertical axis, beat numbers and the marker above the
// horizontal one, column j's line and hits at x = FirstColumnX + j * column width.
class StepSequencerPainter {
public:
    static constexpr int NameColumnWidth = 125;  // the vertical axis runs at this x
    static constexpr int HeaderHeight = 30;      // the horizontal axis runs at this y
    static constexpr int FirstColumnX = 145;     // line and hit centre of column 0
    static constexpr int NameLeft = 5;
    static constexpr int BeatNumberTop = 5;
    static constexpr int MarkerTop = 20;
    static constexpr int MarkerSize = 10;
    static constexpr int MarkerOffset = 141;  // marker left edge = column * column width + this
    static constexpr int CursorWidth = 3;

    // Pixels are 0xAARRGGBB with an opaque alpha byte.
    static constexpr std::uint32_t White = 0xFFFFFFFFu;
    static constexpr std::uint32_t OddRowShade = 0xFFF0F0F0u;

    // The figures of the window's layout.
    struct Layout {
        int rowHeight = 1;
        int columnWidth = 16;
        int viewHeight = 0;  // the height above the scroll bar
        // How much wider than NameColumnWidth the name column is, for names that need it:
        // the axis, the columns and the marker all move right by as much.
        int namesWider = 0;
        int NameEdge() const { return NameColumnWidth + namesWider; }
        int FirstX() const { return FirstColumnX + namesWider; }
        int MarkerX() const { return MarkerOffset + namesWider; }
    };

    // What the window draws where the painter says.
    class IDecorations {
    public:
        virtual ~IDecorations() = default;
        // A beat number, in black, left and top aligned in the box.
        virtual void BeatNumber(int left, int top, int width, int height, int number) = 0;
        // A row's fitted name, in black, left and top aligned in the box.
        virtual void RowName(int left, int top, int width, int height, int row) = 0;
        // The start marker: a flag MarkerSize wide from `left` at MarkerTop, pointing down.
        virtual void StartMarker(double left) = 0;
    };

    explicit StepSequencerPainter(const StepSequencerGrid& grid) noexcept : _grid(grid) {}

    // Draws the part of the grid between left..right and top..bottom (exclusive), widened to
    // whole rows: the shading and the hits of a row are drawn as one.
    void Redraw(const PixelImage& image, const Layout& layout, int left, int top, int right, int bottom,
                IDecorations& decorations);
    // The marker strip afresh, with the marker at the grid's start column.
    void RedrawMarker(const PixelImage& image, const Layout& layout, IDecorations& decorations) const;

    // The first `rows` rows of `from` into `to` (of the same size).
    static void CopyRows(const PixelImage& from, const PixelImage& to, int rows);
    // The rubber band between two corners, half over the grid image, into the overlay.
    static void Band(const PixelImage& grid, const PixelImage& overlay, int x1, int y1, int x2, int y2, int viewHeight);
    // The cursor strip from `left`, `height` below the header: a checkerboard inversion, which
    // shows on any background and which a second one takes away.
    static void InvertCursor(const PixelImage& overlay, int left, int height, int viewHeight);

private:
    void ColumnLines(const PixelImage& image, const Layout& layout, int top, int bottom,
                     IDecorations& decorations) const;
    void Hits(const PixelImage& image, const Layout& layout, int top, int bottom);

    const StepSequencerGrid& _grid;
    Circle _circle{24};
};

}  // namespace GUI
