#include <gtest/gtest.h>

#include "GUI/Model/TempoInput.h"
#include "GUI/Model/TypedDigits.h"

namespace {

using GUI::TempoInput;
using Key = GUI::TempoInput::Key;

TEST(TempoSliderTest, PositionsOfTheEndsAndOfTheDefaultTempo)
{
    EXPECT_EQ(TempoInput::SliderPosition(10), 7109);
    EXPECT_EQ(TempoInput::SliderPosition(120), 7954);
    EXPECT_EQ(TempoInput::SliderPosition(400), 9044);
    EXPECT_EQ(TempoInput::SliderTempo(7109), 10);
    EXPECT_EQ(TempoInput::SliderTempo(7954), 120);
    EXPECT_EQ(TempoInput::SliderTempo(9044), 400);
}

TEST(TempoSliderTest, EveryTempoOfTheSliderSurvivesTheRoundTrip)
{
    for (int bpm = 10; bpm <= 400; ++bpm)
        EXPECT_EQ(TempoInput::SliderTempo(TempoInput::SliderPosition(bpm)), bpm) << bpm;
    // And every position gives a tempo within the slider's range, never going backwards.
    int previous = 0;
    for (int position = 7109; position <= 9044; ++position) {
        int bpm = TempoInput::SliderTempo(position);
        EXPECT_GE(bpm, previous);
        EXPECT_GE(bpm, 10);
        EXPECT_LE(bpm, 400);
        previous = bpm;
    }
}

TEST(TempoKeysTest, StepsWithMultipliersAndRepeatCounts)
{
    EXPECT_EQ(TempoInput::KeyStep(120, Key::PageUp, true, true, 1), 160);
    EXPECT_EQ(TempoInput::KeyStep(120, Key::PageUp, false, true, 1), 140);
    EXPECT_EQ(TempoInput::KeyStep(120, Key::PageDown, true, false, 1), 100);
    EXPECT_EQ(TempoInput::KeyStep(398, Key::Up, false, false, 5), 403);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Right, false, false, 1), 101);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Plus, false, false, 1), 101);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Down, false, false, 1), 99);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Left, true, false, 3), 94);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Minus, false, false, 1), 99);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Other, true, true, 1), 0);
}

TEST(TempoKeysTest, StepsStayBetweenFourAndOneThousand)
{
    EXPECT_EQ(TempoInput::KeyStep(14, Key::PageDown, false, false, 1), 4);
    EXPECT_EQ(TempoInput::KeyStep(4, Key::PageDown, false, false, 1), 0);
    EXPECT_EQ(TempoInput::KeyStep(4, Key::Down, false, false, 1), 0);
    EXPECT_EQ(TempoInput::KeyStep(990, Key::PageUp, false, false, 1), 1000);
    EXPECT_EQ(TempoInput::KeyStep(1000, Key::Up, false, false, 1), 0);
    // A huge repeat count cannot wrap around into the range.
    EXPECT_EQ(TempoInput::KeyStep(120, Key::PageUp, true, true, 0x7fffffff), 0);
}

struct Typed {
    std::int32_t tempo;
    bool keepTimer;
};

std::vector<Typed> TypeDigits(GUI::TypedDigits& digits, std::initializer_list<int> keys)
{
    std::vector<Typed> results;
    for (int key : keys) {
        auto result = digits.Enter(key);
        results.push_back({result.tempo, result.keepTimer});
    }
    return results;
}

TEST(TypedDigitsTest, TwoDigitsThenThree)
{
    GUI::TypedDigits digits;
    auto r = TypeDigits(digits, {1, 2, 0});
    EXPECT_EQ(r[0].tempo, 0);
    EXPECT_EQ(r[1].tempo, 12);
    EXPECT_EQ(r[2].tempo, 120);
    EXPECT_TRUE(r[1].keepTimer);
    EXPECT_FALSE(r[2].keepTimer);
    EXPECT_TRUE(digits.Empty());

    r = TypeDigits(digits, {9, 5});
    EXPECT_EQ(r[1].tempo, 95);
    digits.Clear();
    r = TypeDigits(digits, {4, 0, 0});
    EXPECT_EQ(r[1].tempo, 40);
    EXPECT_EQ(r[2].tempo, 400);
}

TEST(TypedDigitsTest, SmallAndLargeNumbers)
{
    GUI::TypedDigits digits;
    // 0, 8 is 8: no tempo; a following 5 makes 85.
    auto r = TypeDigits(digits, {0, 8, 5});
    EXPECT_EQ(r[1].tempo, 0);
    EXPECT_EQ(r[2].tempo, 85);
    // 10 is not above 10; 0, 0, 9 is below 10.
    r = TypeDigits(digits, {1, 0});
    EXPECT_EQ(r[1].tempo, 0);
    digits.Clear();
    r = TypeDigits(digits, {0, 0, 9});
    EXPECT_EQ(r[2].tempo, 0);
    EXPECT_TRUE(digits.Empty());
    // 4, 9, 9 is cut to 400.
    r = TypeDigits(digits, {4, 9, 9});
    EXPECT_EQ(r[1].tempo, 49);
    EXPECT_EQ(r[2].tempo, 400);
}

TEST(TypedDigitsTest, AThirdDigitAfterFiveOrMoreStartsAgain)
{
    GUI::TypedDigits digits;
    auto r = TypeDigits(digits, {5, 0, 0});
    EXPECT_EQ(r[1].tempo, 50);
    EXPECT_EQ(r[2].tempo, 0);
    EXPECT_TRUE(r[2].keepTimer);
    EXPECT_FALSE(digits.Empty());
    // The 0 is now the first digit: 0, 7, 2 gives 72.
    r = TypeDigits(digits, {7, 2});
    EXPECT_EQ(r[1].tempo, 72);
}

}  // namespace
