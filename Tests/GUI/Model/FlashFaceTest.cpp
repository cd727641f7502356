#include <gtest/gtest.h>

#include "GUI/Model/FlashFace.h"

namespace {

using GUI::FlashFace;

// The number is as large as the window lets it be and never leaves it; the row of beats fits
// below it, for every shape from a small window to a wide or tall screen.
TEST(FlashFace, NumberAndBeatRowFillTheWindowAndStayInside)
{
    struct Case {
        float width, height;
        int beats, digits;
    };
    const Case cases[] = {
        {120, 120, 4, 1},   {640, 400, 4, 1},  {1920, 1080, 7, 1}, {1920, 1080, 12, 2},
        {300, 1200, 16, 2}, {2000, 150, 3, 1}, {800, 600, 17, 2},  {800, 600, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " beats " << c.beats);
        const FlashFace::Layout layout = FlashFace::Arrange(c.width, c.height, c.beats, c.digits);
        const float numberWidth = 0.6f * layout.numberSize * static_cast<float>(c.digits);
        EXPECT_LE(numberWidth, c.width);
        EXPECT_GE(layout.numberY - layout.numberSize / 2, 0.0f);
        const float bottom = layout.numberY + layout.numberSize / 2;
        // Readable from afar: at least half the height of its area, or 80 % of the width.
        const float area = layout.dots ? c.height * 0.8f : c.height;
        EXPECT_TRUE(layout.numberSize >= area * 0.5f || numberWidth >= c.width * 0.8f);
        EXPECT_LE(layout.pulseRadius * 2, std::min(c.width, area));
        if (c.beats > 1 && c.beats <= FlashFace::MaxDots) {
            ASSERT_EQ(layout.dots, c.beats);
            EXPECT_LE(bottom, layout.dotY - layout.dotRadius);
            EXPECT_LE(layout.dotY + layout.dotRadius, c.height);
            EXPECT_GE(layout.firstDotX - layout.dotRadius, 0.0f);
            const float last = layout.firstDotX + static_cast<float>(c.beats - 1) * layout.dotStep;
            EXPECT_LE(last + layout.dotRadius, c.width);
            EXPECT_LT(2 * layout.dotRadius, layout.dotStep);  // the dots do not touch
        } else {
            EXPECT_EQ(layout.dots, 0);
            EXPECT_LE(bottom, c.height);
        }
    }
}

TEST(FlashFace, ColoursReadOnTheirBackground)
{
    EXPECT_EQ(FlashFace::Rgb(0x0000C0), 0xC00000u);  // the palette's red, as 0x00RRGGBB
    EXPECT_EQ(FlashFace::TextOn(0xFFFF00), 0x000000u);
    EXPECT_EQ(FlashFace::TextOn(0x0000C0), 0xFFFFFFu);
    EXPECT_EQ(FlashFace::TextOn(FlashFace::Dark), 0xFFFFFFu);
    EXPECT_EQ(FlashFace::Dim(0xFF8040, 50), 0x7F4020u);
    EXPECT_EQ(FlashFace::Digits(9), 1);
    EXPECT_EQ(FlashFace::Digits(10), 2);
    EXPECT_EQ(FlashFace::Digits(128), 3);
}

}  // namespace
