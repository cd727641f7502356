#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "GUI/Model/Circle.h"
#include "GUI/Model/VoicePalette.h"
#include "Support/RecordingLog.h"

namespace {

using GUI::Circle;
using GUI::PixelImage;

constexpr std::uint32_t Untouched = 0xFF123456;  // opaque, and no colour the tests draw
constexpr std::uint32_t White = 0xFFFFFF;

// An image with four pixels of padding at the end of each row, all set to Untouched.
struct TestImage {
    TestImage(int width, int height) : memory(static_cast<std::size_t>((width + 4) * height), Untouched)
    {
        image.width = width;
        image.height = height;
        image.stride = width + 4;
        image.pixels = memory.data();
    }
    std::uint32_t At(int x, int y) const { return image.At(x, y); }
    std::vector<std::uint32_t> memory;
    PixelImage image;
};

std::uint32_t Full(std::uint32_t colour)
{
    return 0xFF000000u | GUI::ColourToPixel(colour);
}

// A rim pixel drawn at about the middle of the fade: each channel half way between the
// background and the disc colour.
void ExpectHalfWay(std::uint32_t pixel, std::uint32_t colour, std::uint32_t background)
{
    std::uint32_t disc = GUI::ColourToPixel(colour);
    std::uint32_t back = GUI::ColourToPixel(background);
    for (int shift = 0; shift < 24; shift += 8) {
        int middle = static_cast<int>(((disc >> shift) & 0xFF) + ((back >> shift) & 0xFF)) / 2;
        EXPECT_LE(std::abs(static_cast<int>((pixel >> shift) & 0xFF) - middle), 1) << std::hex << pixel;
    }
    EXPECT_EQ(pixel >> 24, 0xFFu);
}

std::set<std::pair<int, int>> Painted(const TestImage& test)
{
    std::set<std::pair<int, int>> painted;
    for (int y = 0; y < test.image.height; ++y)
        for (int x = 0; x < test.image.stride; ++x)
            if (test.memory[static_cast<std::size_t>(y * test.image.stride + x)] != Untouched)
                painted.insert({x, y});
    return painted;
}

TEST(Circle, GridHitIsFullOutToSevenAndAHalfAndFadesOutByEightAndAHalf)
{
    const std::uint32_t colour = GUI::VoicePalette[1];
    TestImage test(40, 40);
    Circle circle(24);
    circle.Draw(colour, test.image, White, 7.0f, 20.0f, 20.0f, 2.0f, 1.0f);
    EXPECT_EQ(test.At(20, 20), Full(colour));
    EXPECT_EQ(test.At(27, 20), Full(colour));  // distance 7
    EXPECT_EQ(test.At(25, 25), Full(colour));  // distance 7.07
    EXPECT_EQ(test.At(20, 13), Full(colour));
    ExpectHalfWay(test.At(28, 20), colour, White);  // distance 8: the middle of the rim
    ExpectHalfWay(test.At(12, 20), colour, White);
    EXPECT_NE(test.At(26, 26), Untouched);  // distance 8.49: just inside the rim
    EXPECT_EQ(test.At(29, 20), Untouched);  // distance 9
    EXPECT_EQ(test.At(27, 26), Untouched);  // distance 9.2
    for (auto [x, y] : Painted(test)) {
        int dx = x - 20;
        int dy = y - 20;
        EXPECT_LT(dx * dx + dy * dy, 73) << x << "," << y;
    }
}

TEST(Circle, GridHitBoxSpansEighteenColumns)
{
    // With 17 entries in its table the circle cuts its last column rather than overrun.
    TestImage full(40, 40);
    TestImage cut(40, 40);
    Circle enough(18);
    Circle short_(17);
    enough.Draw(GUI::VoicePalette[0], full.image, White, 7.0f, 20.0f, 20.0f, 2.0f, 1.0f);
    short_.Draw(GUI::VoicePalette[0], cut.image, White, 7.0f, 20.0f, 20.0f, 2.0f, 1.0f);
    EXPECT_NE(full.At(28, 20), Untouched);
    EXPECT_NE(full.At(12, 20), Untouched);
    EXPECT_EQ(cut.At(28, 20), Untouched);
    EXPECT_EQ(cut.At(27, 20), full.At(27, 20));
}

TEST(Circle, IndicatorSizes)
{
    const std::uint32_t colour = GUI::VoicePalette[8];
    const std::uint32_t face = 0xF0F0F0;
    // Size 0: radius -1 shrinks the box to 2 x 2 pixels, all in full colour.
    {
        TestImage test(32, 32);
        Circle circle(32);
        circle.Draw(colour, test.image, face, -1.0f, 16.0f, 16.0f, 2.0f, 2.0f);
        std::set<std::pair<int, int>> expected{{15, 15}, {16, 15}, {15, 16}, {16, 16}};
        EXPECT_EQ(Painted(test), expected);
        EXPECT_EQ(test.At(15, 15), Full(colour));
    }
    // Size 1: radius 1, fading out to a distance of 3.
    {
        TestImage test(32, 32);
        Circle circle(32);
        circle.Draw(colour, test.image, face, 1.0f, 16.0f, 16.0f, 2.0f, 2.0f);
        EXPECT_EQ(test.At(16, 16), Full(colour));
        ExpectHalfWay(test.At(18, 16), colour, face);
        EXPECT_NE(test.At(18, 17), Untouched);
        EXPECT_EQ(test.At(19, 16), Untouched);
        EXPECT_EQ(test.At(16, 13), Untouched);
    }
    // Size 7: radius 13, full out to 13, half way at 14, nothing at 15.
    {
        TestImage test(32, 32);
        Circle circle(32);
        circle.Draw(colour, test.image, face, 13.0f, 16.0f, 16.0f, 2.0f, 2.0f);
        EXPECT_EQ(test.At(16, 3), Full(colour));
        EXPECT_EQ(test.At(29, 16), Full(colour));
        ExpectHalfWay(test.At(16, 2), colour, face);
        ExpectHalfWay(test.At(30, 16), colour, face);
        EXPECT_EQ(test.At(16, 1), Untouched);
        EXPECT_EQ(test.At(1, 16), Untouched);
    }
}

TEST(Circle, SwatchOfSizeSeven)
{
    const std::uint32_t colour = GUI::VoicePalette[9];
    const std::uint32_t background = 0xECE9D8;
    TestImage test(22, 22);
    Circle circle(32);
    circle.Draw(colour, test.image, background, 8.0f, 11.0f, 11.0f, 2.0f, 1.0f);
    EXPECT_EQ(test.At(11, 11), Full(colour));
    EXPECT_EQ(test.At(11, 3), Full(colour));  // distance 8
    ExpectHalfWay(test.At(11, 2), colour, background);
    ExpectHalfWay(test.At(20, 11), colour, background);
    EXPECT_EQ(test.At(11, 1), Untouched);
    EXPECT_EQ(test.At(0, 11), Untouched);
}

TEST(Circle, EdgesOfTheImage)
{
    const std::uint32_t colour = GUI::VoicePalette[6];
    // Three pixels from the left edge: cut at column 0, nothing written before the row.
    {
        TestImage test(20, 20);
        Circle circle(24);
        circle.Draw(colour, test.image, White, 7.0f, 3.0f, 10.0f, 2.0f, 1.0f);
        EXPECT_EQ(test.At(0, 10), Full(colour));
        for (auto [x, y] : Painted(test))
            EXPECT_LT(x, 20) << "padding written at row " << y;
    }
    // Centred on the last column and row: they are never painted, the pixels beside them are.
    {
        TestImage test(20, 20);
        Circle circle(24);
        circle.Draw(colour, test.image, White, 5.0f, 19.0f, 19.0f, 2.0f, 1.0f);
        EXPECT_EQ(test.At(18, 18), Full(colour));
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(test.At(19, i), Untouched);
            EXPECT_EQ(test.At(i, 19), Untouched);
        }
    }
}

TEST(Circle, HorizontalDistancesUseTheCentreColumnVerticalOnesTheExactCentre)
{
    const std::uint32_t colour = GUI::VoicePalette[3];
    TestImage at10(22, 22);
    TestImage at107(22, 22);
    Circle circle(24);
    circle.Draw(colour, at10.image, White, 7.0f, 10.0f, 10.0f, 2.0f, 1.0f);
    circle.Draw(colour, at107.image, White, 7.0f, 10.7f, 10.0f, 2.0f, 1.0f);
    EXPECT_EQ(at10.memory, at107.memory);

    TestImage low(22, 22);
    circle.Draw(colour, low.image, White, 7.0f, 10.0f, 10.7f, 2.0f, 1.0f);
    EXPECT_NE(at10.At(10, 2), Untouched);           // 8 from 10
    EXPECT_EQ(low.At(10, 2), Untouched);            // 8.7 from 10.7
    ExpectHalfWay(at10.At(10, 18), colour, White);  // 8 from 10
    EXPECT_EQ(low.At(10, 18), Full(colour));        // 7.3 from 10.7
}

TEST(Circle, WithoutItsTableItLogsAndDrawsNothing)
{
    Tests::RecordingLog log;
    Circle circle(0);
    EXPECT_FALSE(circle.IsReady());
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(log.Entries()[0].level, 3);
    EXPECT_EQ(log.Entries()[0].text, "Unable to allocate memory for _squareX array object in Circle constructor");
    TestImage test(22, 22);
    circle.Draw(GUI::VoicePalette[0], test.image, White, 8.0f, 11.0f, 11.0f, 2.0f, 1.0f);
    EXPECT_TRUE(Painted(test).empty());
}

TEST(Circle, PaletteColoursBecomePixelsWithRedInTheThirdByte)
{
    EXPECT_EQ(GUI::ColourToPixel(GUI::VoicePalette[8]), 0xDC8C32u);
    EXPECT_EQ(GUI::ColourToPixel(GUI::VoicePalette[1]), 0xC00000u);
    EXPECT_EQ(GUI::VoiceColour(12), GUI::VoicePalette[11]);
    EXPECT_EQ(GUI::VoiceColour(-1), GUI::VoicePalette[11]);
}

}  // namespace
