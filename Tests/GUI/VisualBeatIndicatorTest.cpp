#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <thread>

#include "Configuration/ConfigurationData.h"
#include "Core/HeardTime.h"
#include "GUI/Model/PixelImage.h"
#include "GUI/Model/VoicePalette.h"
#include "GUI/VisualBeatIndicator.h"

namespace {

class VisualBeatIndicatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent.resize(300, 200);
        ASSERT_TRUE(indicator.CreateVisualIndicatorWindow(&parent));
        for (int i = 0; i < 12; ++i) {
            settings.Size[i] = 7;
            settings.Colour[i] = static_cast<std::uint32_t>(i);
        }
        background = indicator.Picture().pixel(0, 0) & 0xFFFFFF;
    }

    void TearDown() override { indicator.Hide(); }

    // Shows a voice from a thread of its own, as the timer thread does, and waits for the frame.
    bool ShowAndWait(int voice, Core::Moment heardAt = Core::Moment())
    {
        int before = indicator.FramesDrawn();
        std::thread timer([&] { indicator.Show(voice, heardAt); });
        timer.join();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (indicator.FramesDrawn() == before && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return indicator.FramesDrawn() != before;
    }

    std::uint32_t Pixel(int x, int y) const { return indicator.Picture().pixel(x, y) & 0xFFFFFF; }

    int ColouredPixels() const
    {
        QImage picture = indicator.Picture();
        int count = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if ((picture.pixel(x, y) & 0xFFFFFF) != background)
                    ++count;
        return count;
    }

    QWidget parent;
    GUI::VisualBeatIndicator indicator;
    Configuration::ConfigurationData settings;
    std::uint32_t background = 0;
};

TEST_F(VisualBeatIndicatorTest, ShowsTheDiscOfTheVoiceInItsColour)
{
    EXPECT_EQ(indicator.geometry(), QRect(230, 76, 32, 32));
    indicator.Prepare(settings);
    ASSERT_TRUE(indicator.Running());
    ASSERT_TRUE(ShowAndWait(1));
    EXPECT_EQ(Pixel(16, 16), GUI::ColourToPixel(GUI::VoiceColour(1)));
    EXPECT_EQ(Pixel(1, 1), background);
    ASSERT_TRUE(ShowAndWait(8));
    EXPECT_EQ(Pixel(16, 16), GUI::ColourToPixel(GUI::VoiceColour(8)));
    // -1 empties the square.
    ASSERT_TRUE(ShowAndWait(-1));
    EXPECT_EQ(ColouredPixels(), 0);
}

TEST_F(VisualBeatIndicatorTest, DiscGrowsWithTheVoicesSize)
{
    int previous = 0;
    for (std::uint32_t size : {1u, 3u, 5u, 7u}) {
        settings.Size[0] = size;
        indicator.Prepare(settings);
        ASSERT_TRUE(ShowAndWait(0));
        int coloured = ColouredPixels();
        EXPECT_GT(coloured, previous) << size;
        // A radius of 2 * size - 1 with a 2-pixel rim stays inside the square.
        EXPECT_EQ(Pixel(0, 16), background);
        previous = coloured;
        indicator.Hide();
    }
}

TEST_F(VisualBeatIndicatorTest, HideEmptiesTheSquareAndEndsTheThread)
{
    indicator.Prepare(settings);
    ASSERT_TRUE(ShowAndWait(2));
    EXPECT_GT(ColouredPixels(), 0);
    indicator.Hide();
    EXPECT_FALSE(indicator.Running());
    EXPECT_EQ(ColouredPixels(), 0);
    // A Show after Hide draws nothing.
    int frames = indicator.FramesDrawn();
    indicator.Show(2, Core::Moment());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(indicator.FramesDrawn(), frames);
}

TEST_F(VisualBeatIndicatorTest, FlashWaitsForTheClickToBeHeard)
{
    indicator.Prepare(settings);
    using std::chrono::milliseconds;
    const Core::Moment start = Core::HeardTime::Now();
    ASSERT_TRUE(ShowAndWait(3, start + milliseconds(80)));
    const auto shown = Core::HeardTime::Now() - start;
    EXPECT_GE(shown, milliseconds(79));
    EXPECT_LT(shown, milliseconds(400));
    // Hide does not wait out a pending flash.
    indicator.Show(4, Core::HeardTime::Now() + milliseconds(300));
    const Core::Moment hideStart = Core::HeardTime::Now();
    indicator.Hide();
    EXPECT_LT(Core::HeardTime::Now() - hideStart, milliseconds(40));
    EXPECT_EQ(ColouredPixels(), 0);
}

TEST_F(VisualBeatIndicatorTest, TheWindowPaintsThePicture)
{
    indicator.Prepare(settings);
    ASSERT_TRUE(ShowAndWait(9));
    QApplication::processEvents();
    QImage shown = indicator.grab().toImage();
    EXPECT_EQ(shown.pixel(16, 16) & 0xFFFFFF, GUI::ColourToPixel(GUI::VoiceColour(9)));
}

}  // namespace

namespace {

// The count-in's counts are drawn as numbers, and the visual latency offset moves every flash
// against the time its click is heard: later, or sooner.
TEST_F(VisualBeatIndicatorTest, CountsAreDrawnAndTheLatencyOffsetMovesTheFlash)
{
    indicator.Prepare(settings);
    const auto showCount = [&](int count) {
        const int before = indicator.FramesDrawn();
        std::thread timer([&] { indicator.ShowCount(count, Core::Moment()); });
        timer.join();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (indicator.FramesDrawn() == before && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return indicator.Picture();
    };
    const QImage three = showCount(3);
    EXPECT_GT(ColouredPixels(), 10);
    EXPECT_NE(showCount(4), three);
    showCount(0);
    EXPECT_EQ(ColouredPixels(), 0) << "no count 0";

    struct Restore {
        ~Restore() { Core::HeardTime::SetVisualOffsetMs(0); }
    } restore;
    Core::HeardTime::SetVisualOffsetMs(900);
    EXPECT_EQ(Core::HeardTime::VisualOffsetMs(), 200);
    Core::HeardTime::SetVisualOffsetMs(60);
    const Core::Moment start = Core::HeardTime::Now();
    ASSERT_TRUE(ShowAndWait(3, start + std::chrono::milliseconds(20)));
    EXPECT_GE(Core::HeardTime::Now() - start, std::chrono::milliseconds(79));
    // Sooner: the time to show moves back by the offset ("at once" stays at once).
    Core::HeardTime::SetVisualOffsetMs(-200);
    EXPECT_EQ(Core::HeardTime::SeenAt(start + std::chrono::milliseconds(150)), start - std::chrono::milliseconds(50));
    EXPECT_EQ(Core::HeardTime::SeenAt(Core::Moment()), Core::Moment());
}

}  // namespace
