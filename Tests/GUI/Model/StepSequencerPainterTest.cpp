#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GUI/Model/StepSequencerPainter.h"
#include "GUI/Model/VoicePalette.h"
#include "GridTestSupport.h"

namespace {

using GUI::StepSequencerPainter;
using Tests::GridSettings;
using Tests::LoadedGrid;

constexpr std::uint32_t Untouched = 0xFF123456;
constexpr int Width = 400;
constexpr int Height = 200;
constexpr int Padding = 4;  // pixels past each row's end that no drawing may touch

struct Recorder final : StepSequencerPainter::IDecorations {
    void BeatNumber(int left, int, int, int, int number) override { numbers.push_back({left, number}); }
    void RowName(int, int top, int, int, int row) override { names.push_back({top, row}); }
    void StartMarker(double left) override { markers.push_back(left); }
    std::vector<std::pair<int, int>> numbers;
    std::vector<std::pair<int, int>> names;
    std::vector<double> markers;
};

struct Picture {
    Picture() : memory(static_cast<std::size_t>((Width + Padding) * Height), Untouched)
    {
        image = {Width, Height, Width + Padding, memory.data()};
    }
    std::uint32_t At(int x, int y) const { return image.At(x, y) & 0xFFFFFF; }
    bool PaddingUntouched() const
    {
        for (int y = 0; y < Height; ++y)
            for (int x = Width; x < Width + Padding; ++x)
                if (image.At(x, y) != Untouched)
                    return false;
        return true;
    }
    std::vector<std::uint32_t> memory;
    GUI::PixelImage image;
};

constexpr StepSequencerPainter::Layout Layout{20, 24, 180};
constexpr int X0 = StepSequencerPainter::FirstColumnX;
constexpr int Top = StepSequencerPainter::HeaderHeight;

TEST(StepSequencerPainter, DrawsRowsLinesHitsAndPlacesNumbersNamesAndMarker)
{
    // Seven eighths in compound time: groups of 3, 3 and 1; voice 1 on step 0, voice 2 on step 4.
    auto grid = LoadedGrid(GridSettings(1, 7, 3, true, u"1   2"));
    grid->SetStartColumn(2);
    StepSequencerPainter painter(*grid);
    Picture picture;
    Recorder recorder;
    painter.Redraw(picture.image, Layout, 0, 0, Width, Height, recorder);

    EXPECT_EQ(recorder.numbers,
              (std::vector<std::pair<int, int>>{{X0 - 3, 1}, {X0 + 3 * 24 - 3, 2}, {X0 + 6 * 24 - 3, 3}}));
    ASSERT_EQ(recorder.names.size(), 12u);
    EXPECT_EQ(recorder.names[1], (std::pair<int, int>{Top + 20 + 10 - 9, 1}));
    EXPECT_EQ(recorder.markers, (std::vector<double>{2 * 24 + StepSequencerPainter::MarkerOffset}));
    // Axes; a group's first line is darker than the lines inside it; odd rows shaded.
    EXPECT_EQ(picture.At(StepSequencerPainter::NameColumnWidth, 150), 0x202020u);
    EXPECT_EQ(picture.At(300, Top), 0x202020u);
    EXPECT_EQ(picture.At(X0 + 3 * 24, Top + 5), 0xC0C0C0u);
    EXPECT_EQ(picture.At(X0 + 1 * 24, Top + 5), 0xE4E4E4u);
    EXPECT_EQ(picture.At(X0 + 12, Top + 5), 0xFFFFFFu);
    EXPECT_EQ(picture.At(X0 + 12, Top + 25), 0xF0F0F0u);
    EXPECT_EQ(picture.At(X0, Top + 10), GUI::ColourToPixel(GUI::VoiceColour(0)));
    EXPECT_EQ(picture.At(X0 + 4 * 24, Top + 30), GUI::ColourToPixel(GUI::VoiceColour(1)));
    EXPECT_TRUE(picture.PaddingUntouched());
}

TEST(StepSequencerPainter, ARegionBelowTheHeaderRedrawsItsWholeRowsOnly)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"11"));
    StepSequencerPainter painter(*grid);
    Picture picture;
    Recorder recorder;
    // A few pixels inside display row 1: the whole of row 1, names included, nothing else.
    painter.Redraw(picture.image, Layout, 0, Top + 25, 200, Top + 30, recorder);
    EXPECT_EQ(picture.At(X0 + 12, Top + 20), 0xF0F0F0u);
    EXPECT_EQ(picture.At(X0 + 12, Top + 39), 0xF0F0F0u);
    EXPECT_EQ(picture.At(X0 + 12, Top + 19), 0x123456u);
    EXPECT_EQ(picture.At(X0 + 12, Top + 40), 0x123456u);
    EXPECT_TRUE(recorder.numbers.empty());
    EXPECT_TRUE(recorder.markers.empty());
    EXPECT_EQ(recorder.names.size(), 12u);
}

TEST(StepSequencerPainter, BandBlendsHalfAndTheCursorInvertsBackWithinTheImage)
{
    Picture grid;
    Picture overlay;
    std::fill(grid.memory.begin(), grid.memory.end(), StepSequencerPainter::White);
    StepSequencerPainter::CopyRows(grid.image, overlay.image, 100);
    EXPECT_EQ(overlay.At(10, 99), 0xFFFFFFu);
    EXPECT_EQ(overlay.At(10, 100), 0x123456u);
    // Corners in either order; the band stops at the view's height and the image's width.
    StepSequencerPainter::Band(grid.image, overlay.image, Width + 50, 90, 300, 40, 80);
    EXPECT_EQ(overlay.At(350, 60), 0xEAEAEAu);
    EXPECT_EQ(overlay.At(300, 60), 0xCECECEu);  // the outline
    EXPECT_EQ(overlay.At(350, 85), 0xFFFFFFu);

    const std::vector<std::uint32_t> before = overlay.memory;
    StepSequencerPainter::InvertCursor(overlay.image, Width - 2, 500, 150);
    EXPECT_NE(overlay.memory, before);
    EXPECT_TRUE(overlay.PaddingUntouched());
    StepSequencerPainter::InvertCursor(overlay.image, Width - 2, 500, 150);
    EXPECT_EQ(overlay.memory, before);
}

}  // namespace
