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
    EXPECT_EQ(TempoInput::KeyStep(395, Key::Up, false, false, 5), 400);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Right, false, false, 1), 101);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Plus, false, false, 1), 101);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Down, false, false, 1), 99);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Left, true, false, 3), 94);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Minus, false, false, 1), 99);
    EXPECT_EQ(TempoInput::KeyStep(100, Key::Other, true, true, 1), 0);
}

TEST(TempoKeysTest, StepsStopAtTheEndsOfThePlayedTempi)
{
    // The metronome plays 10 to 400: a step never shows or stores a tempo beyond.
    EXPECT_EQ(TempoInput::KeyStep(14, Key::PageDown, false, false, 1), 10);
    EXPECT_EQ(TempoInput::KeyStep(10, Key::Down, false, false, 1), 10);
    EXPECT_EQ(TempoInput::KeyStep(20, Key::Down, false, false, 15), 10);
    EXPECT_EQ(TempoInput::KeyStep(398, Key::Up, false, false, 5), 400);
    EXPECT_EQ(TempoInput::KeyStep(400, Key::PageUp, true, true, 1), 400);
    // A tempo from elsewhere beyond the range steps from its end; a huge repeat count cannot wrap.
    EXPECT_EQ(TempoInput::KeyStep(450, Key::Down, false, false, 1), 399);
    EXPECT_EQ(TempoInput::KeyStep(120, Key::PageUp, true, true, 0x7fffffff), 400);
    EXPECT_EQ(TempoInput::KeyStep(120, Key::PageDown, true, true, 0x7fffffff), 10);
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
    // 10, the slowest tempo, can be typed; 0, 0, 9 is below it.
    r = TypeDigits(digits, {1, 0});
    EXPECT_EQ(r[1].tempo, 10);
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

TEST(TypedDigitsTest, WhilePlayingTwoDigitsWaitForAThird)
{
    GUI::TypedDigits digits;
    // 1, 5, 0 goes from the old tempo to 150, never through 15.
    auto r = digits.Enter(1, true);
    r = digits.Enter(5, true);
    EXPECT_EQ(r.tempo, 0);
    EXPECT_TRUE(r.deferred);
    r = digits.Enter(0, true);
    EXPECT_EQ(r.tempo, 150);
    EXPECT_FALSE(r.deferred);
    EXPECT_EQ(digits.TakeDeferred(), 0);
    // Without a third digit the held-back tempo is taken once; 10 too.
    for (int second : {5, 0}) {
        digits.Clear();
        digits.Enter(1, true);
        EXPECT_TRUE(digits.Enter(second, true).deferred);
        EXPECT_EQ(digits.TakeDeferred(), 10 + second);
        EXPECT_EQ(digits.TakeDeferred(), 0);
        EXPECT_TRUE(digits.Empty());  // the next digit begins a new number
    }
    // No third digit can follow 5 or more: 95 plays at once; 0, 8 is no tempo at all.
    digits.Clear();
    digits.Enter(9, true);
    r = digits.Enter(5, true);
    EXPECT_EQ(r.tempo, 95);
    EXPECT_FALSE(r.deferred);
    digits.Clear();
    digits.Enter(0, true);
    EXPECT_FALSE(digits.Enter(8, true).deferred);
}

}  // namespace
