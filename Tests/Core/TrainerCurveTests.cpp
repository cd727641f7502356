#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/LinearTrainerStrategy.h"
#include "Core/LogarithmicTrainerStrategy.h"
#include "Core/NoTempoChangeTrainerStrategy.h"
#include "Core/TrainerCurveSelection.h"

namespace {

using Core::TrainerRange;

// The tempos of every stage of a run (the first is the start), then of the warm-down.
struct Stages {
    std::vector<float> stages;
    std::vector<float> warmDown;
};

Stages Play(Core::ISpeedTrainerStrategy& curve, const TrainerRange& range)
{
    Stages run;
    const std::int32_t stages = curve.Initialise(range);
    run.stages.push_back(range.Start);
    for (std::int32_t i = 1; i < stages; ++i)
        run.stages.push_back(curve.NextTempo());
    run.warmDown.push_back(curve.BeginWarmDown(4));
    for (int i = 1; i < 4; ++i)
        run.warmDown.push_back(curve.NextTempo());
    return run;
}

std::vector<double> Rounded(const std::vector<float>& tempos)
{
    std::vector<double> rounded;
    for (float tempo : tempos)
        rounded.push_back(std::round(tempo * 100.0) / 100.0);
    return rounded;
}

TEST(LinearTrainerStrategy, StepsEvenlyToTheEndAndWarmsDownInQuarters)
{
    Core::LinearTrainerStrategy linear;
    const Stages run = Play(linear, {60.0f, 120.0f, 60, 6.0f});
    EXPECT_EQ(run.stages, (std::vector<float>{60, 66, 72, 78, 84, 90, 96, 102, 108, 114, 120}));
    EXPECT_EQ(run.warmDown, (std::vector<float>{105, 90, 75, 60}));

    const Stages narrow = Play(linear, {60.0f, 90.0f, 30, 3.0f});
    EXPECT_EQ(narrow.stages, (std::vector<float>{60, 63, 66, 69, 72, 75, 78, 81, 84, 87, 90}));
}

TEST(LinearTrainerStrategy, FittedStepLandsOnTheEndTempo)
{
    // 50 bpm in steps of 15: three steps of 16.67 would end short of 110 without the fitting.
    Core::LinearTrainerStrategy linear;
    const Stages run = Play(linear, {60.0f, 110.0f, 50, 15.0f});
    ASSERT_EQ(run.stages.size(), 4u);
    EXPECT_EQ(static_cast<int>(run.stages.back()), 110);
    // 50 % to 100 % of 125: the steps from 62.5 would end on 125.5; the last stage plays 125.
    const Stages half = Play(linear, {62.5f, 125.0f, 63, 6.3f});
    EXPECT_EQ(half.stages.back(), 125.0f);
    EXPECT_EQ(Rounded(half.warmDown).front(), 109.25);
}

TEST(LinearTrainerStrategy, FallingRunKeepsTheEndTempoThroughTheWarmDown)
{
    Core::LinearTrainerStrategy linear;
    const Stages run = Play(linear, {120.0f, 60.0f, -60, -6.0f});
    EXPECT_EQ(run.stages.back(), 60.0f);
    EXPECT_EQ(run.warmDown, (std::vector<float>{60, 60, 60, 60}));
}

TEST(LogarithmicTrainerStrategy, ShrinkingStepsWithSinglePrecisionRounding)
{
    Core::LogarithmicTrainerStrategy logarithmic;
    const Stages run = Play(logarithmic, {60.0f, 120.0f, 60, 6.0f});
    EXPECT_NEAR(logarithmic.Ratio(), 0.83414, 0.000005);
    EXPECT_EQ(Rounded(run.stages),
              (std::vector<double>{60, 72, 82.01, 90.36, 97.32, 103.13, 107.98, 112.02, 115.39, 118.21, 120}));
    // The last stage is the end tempo exactly, and the warm-down falls from it.
    EXPECT_EQ(run.stages.back(), 120.0f);
    EXPECT_EQ(Rounded(run.warmDown), (std::vector<double>{105, 90, 75, 60}));
}

TEST(LogarithmicTrainerStrategy, StepsBelowOneBpmBecomeWholeBeats)
{
    Core::LogarithmicTrainerStrategy logarithmic;
    const Stages run = Play(logarithmic, {60.0f, 100.0f, 40, 2.0f});
    ASSERT_EQ(run.stages.size(), 21u);
    EXPECT_EQ(run.stages[1], 64.0f);  // first step twice the linear 2 bpm
    const std::vector<float> last(run.stages.end() - 3, run.stages.end());
    EXPECT_EQ(last, (std::vector<float>{98, 99, 100}));
    for (std::size_t i = 1; i < run.stages.size(); ++i)
        EXPECT_GT(run.stages[i], run.stages[i - 1]);
}

TEST(NoTempoChangeTrainerStrategy, StaysAtTheStartTempo)
{
    Core::NoTempoChangeTrainerStrategy none;
    const Stages run = Play(none, {61.5f, 62.0f, 1, 1.0f});
    EXPECT_EQ(run.stages, (std::vector<float>{61.5f}));
    EXPECT_EQ(run.warmDown, (std::vector<float>{61.5f, 61.5f, 61.5f, 61.5f}));
}

TEST(TrainerCurves, DegenerateRangesGiveASingleStage)
{
    Core::LinearTrainerStrategy linear;
    Core::LogarithmicTrainerStrategy logarithmic;
    for (Core::ISpeedTrainerStrategy* curve : {static_cast<Core::ISpeedTrainerStrategy*>(&linear),
                                               static_cast<Core::ISpeedTrainerStrategy*>(&logarithmic)}) {
        EXPECT_EQ(curve->Initialise({60.0f, 60.0f, 0, 0.0f}), 1);
        EXPECT_EQ(curve->Initialise({60.0f, 61.0f, 1, 6.0f}), 1);
    }
}

// Which curve the selection gives, by kind.
const char* Selected(const Configuration::ConfigurationData& settings)
{
    Core::ISpeedTrainerStrategy& curve = Core::SelectTrainerCurve(settings);
    if (dynamic_cast<Core::LinearTrainerStrategy*>(&curve))
        return "linear";
    if (dynamic_cast<Core::LogarithmicTrainerStrategy*>(&curve))
        return "logarithmic";
    return "none";
}

TEST(TrainerCurveSelection, ChoosesByRangeStepAndStepCount)
{
    Configuration::ConfigurationData settings;
    EXPECT_STREQ(Selected(settings), "linear");
    settings.Logarithmic = 1;
    EXPECT_STREQ(Selected(settings), "logarithmic");
    settings.Step = 0.3f;  // m = 3.83: too few steps for the logarithmic curve
    EXPECT_STREQ(Selected(settings), "linear");
    settings.Step = 1.0f;  // m = 1.5: one step
    EXPECT_STREQ(Selected(settings), "linear");

    settings.Step = 0.01f;  // 0.6 bpm steps
    EXPECT_STREQ(Selected(settings), "none");
    settings.Step = 0.1f;
    settings.To = 0.52f;  // range of 2 bpm
    EXPECT_STREQ(Selected(settings), "none");
    settings.To = 0.25f;  // falling by 30 bpm
    EXPECT_STREQ(Selected(settings), "logarithmic");
}

TEST(TrainerCurveSelection, OutOfRangeSettingsAreBroughtIntoRange)
{
    Configuration::ConfigurationData settings;
    settings.Bpm = 0;      // read as 10: a range of 5 bpm
    settings.Step = 0.0f;  // read as 0.0001: a step far below 1 bpm
    EXPECT_STREQ(Selected(settings), "none");
    settings.Bpm = 120;
    settings.Step = 5.0f;  // read as 1: the whole range in one step
    EXPECT_STREQ(Selected(settings), "linear");
    settings.From = std::nanf("");  // read as 0
    settings.To = 7.0f;             // read as 1
    settings.Step = 0.1f;
    EXPECT_STREQ(Selected(settings), "linear");
}

}  // namespace
