#include <gtest/gtest.h>

#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/ISpeedTrainerStrategy.h"
#include "Core/LinearTrainerStrategy.h"
#include "Core/SpeedTrainerTimerStrategy.h"
#include "Core/StandardTimerStrategy.h"
#include "Core/StepSequencerTimerStrategy.h"

namespace {

using Core::ITimerStrategy;

Configuration::ConfigurationData Settings(std::int32_t ticksPerBeat, std::uint32_t visual)
{
    Configuration::ConfigurationData settings;
    settings.TicksPerBeat = ticksPerBeat;
    settings.TrainerBeatsPerBar = 4;
    settings.TrainerCurve = nullptr;
    settings.VisualIndicator = visual;
    return settings;
}

TEST(StandardTimerStrategy, IntervalFollowsTicksPerBeatAndIndicator)
{
    Core::StandardTimerStrategy standard;
    auto settings = Settings(0, 0);
    standard.Initialise(settings);
    EXPECT_DOUBLE_EQ(standard.GetInterval().count(), 500.0);
    settings.VisualIndicator = 1;  // beat and indicator-off entries: two per beat
    standard.Initialise(settings);
    EXPECT_DOUBLE_EQ(standard.GetInterval().count(), 250.0);
    settings.TicksPerBeat = 6;
    standard.Initialise(settings);
    EXPECT_NEAR(standard.GetInterval().count(), 83.333, 0.001);

    standard.SetTempo(60);
    EXPECT_EQ(standard.GetTempo(), 60);
    EXPECT_NEAR(standard.GetInterval().count(), 166.667, 0.001);
    EXPECT_FALSE(standard.ControlsTempo());
    EXPECT_EQ(standard.OnTick(0), ITimerStrategy::Advance);
}

TEST(StandardTimerStrategy, TempoOutsideTheAcceptedRangeNeverDividesByZero)
{
    Core::StandardTimerStrategy standard;
    auto settings = Settings(0, 0);
    settings.Bpm = 0;
    standard.Initialise(settings);
    EXPECT_DOUBLE_EQ(standard.GetInterval().count(), 6000.0);  // as 10 bpm
    standard.SetTempo(-5);
    EXPECT_EQ(standard.GetTempo(), 10);
    standard.SetTempo(100000);
    EXPECT_EQ(standard.GetTempo(), 400);
}

TEST(StepSequencerTimerStrategy, SubStepsAndAdvanceOnTheFirstOfEach)
{
    Core::StepSequencerTimerStrategy sequencer;
    auto settings = Settings(4, 0);
    sequencer.Initialise(settings);
    EXPECT_EQ(sequencer.SubStepsPerStep(), 8);
    EXPECT_DOUBLE_EQ(sequencer.GetInterval().count(), 15.625);
    for (int tick = 0; tick < 24; ++tick)
        EXPECT_EQ(sequencer.OnTick(0), tick % 8 == 0 ? 0x1008 : 0x08) << "tick " << tick;

    // The table of sub-steps by tempo and steps per beat, at both edges of every tempo band.
    struct Case {
        std::uint32_t bpm;
        std::int32_t ticksPerBeat;
        std::int32_t subSteps;
    };
    for (const Case& c : {Case{49, 2, 20}, Case{49, 3, 16}, Case{50, 0, 16}, Case{99, 3, 12}, Case{100, 2, 12},
                          Case{199, 4, 8}, Case{200, 1, 8}, Case{400, 8, 4}}) {
        settings.Bpm = c.bpm;
        settings.TicksPerBeat = c.ticksPerBeat;
        sequencer.Initialise(settings);
        EXPECT_EQ(sequencer.SubStepsPerStep(), c.subSteps) << c.bpm << " bpm, " << c.ticksPerBeat;
    }
    // No steps per beat given: one step per beat.
    settings.Bpm = 120;
    settings.TicksPerBeat = 0;
    sequencer.Initialise(settings);
    EXPECT_DOUBLE_EQ(sequencer.GetInterval().count(), 60000.0 / (12 * 120));
    sequencer.SetTempo(60);
    EXPECT_DOUBLE_EQ(sequencer.GetInterval().count(), 60000.0 / (12 * 60));
}

// A curve of a fixed number of stages that counts its calls.
class CountingCurve final : public Core::ISpeedTrainerStrategy {
public:
    explicit CountingCurve(std::int32_t stages) : _stages(stages) {}
    std::int32_t Initialise(const Core::TrainerRange& range) override
    {
        _tempo = range.Start;
        return _stages;
    }
    float BeginWarmDown(std::int32_t) override { return _tempo -= 10.0f; }
    float NextTempo() override { return _tempo += 10.0f; }

private:
    std::int32_t _stages;
    float _tempo = 0.0f;
};

TEST(SpeedTrainerTimerStrategy, RangeAndTicksFromTheSettings)
{
    Core::LinearTrainerStrategy linear;
    Core::SpeedTrainerTimerStrategy trainer;
    auto settings = Settings(0, 0);
    settings.TrainerCurve = &linear;
    trainer.Initialise(settings);
    EXPECT_EQ(trainer.Range().Start, 60.0f);
    EXPECT_EQ(trainer.Range().End, 120.0f);
    EXPECT_EQ(trainer.Range().Range, 60);
    EXPECT_EQ(trainer.Range().Step, 6.0f);
    EXPECT_EQ(trainer.GetTempo(), 60);
    EXPECT_TRUE(trainer.ControlsTempo());
    trainer.SetTempo(200);
    EXPECT_EQ(trainer.GetTempo(), 60);
    EXPECT_EQ(trainer.StageCount(), 11);

    struct Case {
        std::int32_t ticksPerBeat;
        std::uint32_t visual;
        double perBeat;
        std::int32_t perEntry;
    };
    for (const Case& c :
         {Case{0, 0, 8.0, 8}, Case{0, 1, 8.0, 4}, Case{3, 1, 12.0, 4}, Case{4, 0, 8.0, 2}, Case{64, 0, 128.0, 2}}) {
        settings.TicksPerBeat = c.ticksPerBeat;
        settings.VisualIndicator = c.visual;
        trainer.Initialise(settings);
        EXPECT_EQ(trainer.TimerTicksPerBeat(), c.perBeat) << c.ticksPerBeat;
        EXPECT_EQ(trainer.TimerTicksPerEntry(), c.perEntry) << c.ticksPerBeat;
        EXPECT_DOUBLE_EQ(trainer.GetInterval().count(), 60000.0 / (60.0 * c.perBeat));
    }

    // A step below 1 bpm is raised to 1 with its sign.
    settings.From = 0.5f;
    settings.To = 0.45f;
    settings.Step = 0.1f;
    trainer.Initialise(settings);
    EXPECT_EQ(trainer.Range().Range, -6);
    EXPECT_EQ(trainer.Range().Step, -1.0f);
}

TEST(SpeedTrainerTimerStrategy, DurationInMinutesIsTheWholeRun)
{
    CountingCurve curve(10);
    Core::SpeedTrainerTimerStrategy trainer;
    auto settings = Settings(0, 0);
    settings.TrainerCurve = &curve;
    settings.Duration = 5.0f;
    settings.Warmup = 0.5f;
    trainer.Initialise(settings);
    EXPECT_EQ(trainer.StageLength(), 30000);
    // 125 ms ticks at 60 bpm with 8 ticks per beat.
    EXPECT_EQ(trainer.CountedTicksPerStage(), 240);
    EXPECT_EQ(trainer.WarmUpTicksLeft(), 240);  // half a minute of ticks
}

TEST(SpeedTrainerTimerStrategy, WarmUpInBarsEndsOnTheFirstBeatAfterIt)
{
    CountingCurve curve(3);
    Core::SpeedTrainerTimerStrategy trainer;
    auto settings = Settings(0, 0);
    settings.TrainerCurve = &curve;
    settings.DurationsInBars = 1;
    settings.Duration = 2.0f;
    settings.Warmup = 1.0f;
    trainer.Initialise(settings);
    EXPECT_EQ(trainer.WarmUpTicksLeft(), 4);
    EXPECT_EQ(trainer.CountedTicksInStage(), -1);
    EXPECT_EQ(trainer.CountedTicksPerStage(), 8);

    // Eight timer ticks per beat entry; only the first tick of a beat entry counts. The warm-up
    // ends with the first beat of the next bar, which plays its beep.
    int endBeat = -1;
    int endTick = -1;
    for (int beat = 0; beat < 10 && endBeat < 0; ++beat) {
        for (int tick = 0; tick < 8; ++tick) {
            if (trainer.OnTick(tick == 0 ? 0x0001 : 0x0002) & ITimerStrategy::WarmupEnded) {
                endBeat = beat;
                endTick = tick;
                break;
            }
        }
    }
    EXPECT_EQ(endBeat, 4);
    EXPECT_EQ(endTick, 0);
    EXPECT_EQ(trainer.CountedTicksInStage(), 0);

    // Entries without the beat bit never count.
    for (int tick = 0; tick < 80; ++tick)
        EXPECT_EQ(trainer.OnTick(0x0002) & 0xFF, 0);
    EXPECT_EQ(trainer.CountedTicksInStage(), 0);
}

TEST(SpeedTrainerTimerStrategy, NoWarmDownEndsRightAfterTheLastStage)
{
    CountingCurve curve(2);
    Core::SpeedTrainerTimerStrategy trainer;
    auto settings = Settings(1, 0);  // four timer ticks per entry
    settings.TrainerCurve = &curve;
    settings.DurationsInBars = 1;
    settings.Duration = 1.0f;
    settings.Warmup = 0.0f;
    settings.Warmdown = 0.0f;
    trainer.Initialise(settings);

    std::vector<std::int32_t> events;
    for (int tick = 0; tick < 4 * 20 && (events.empty() || events.back() != 0x2000); ++tick) {
        const std::int32_t result = trainer.OnTick(0x0001);
        EXPECT_EQ(result & 0x1000, tick % 4 == 0 ? 0x1000 : 0) << "tick " << tick;
        if (result & 0x20FF)
            events.push_back(result & 0x20FF);
    }
    // No warm-up, no end of one: one change, then the end.
    EXPECT_EQ(events, (std::vector<std::int32_t>{0x01, 0x2000}));
    EXPECT_EQ(trainer.GetTempo(), 70);
}

TEST(SpeedTrainerTimerStrategy, StageThatCountsNoTicksIsNeverLeft)
{
    CountingCurve curve(3);
    Core::SpeedTrainerTimerStrategy trainer;
    auto settings = Settings(0, 0);
    settings.TrainerCurve = &curve;
    settings.DurationsInBars = 1;
    settings.TrainerBeatsPerBar = 0;  // an empty custom pattern: no beats in a bar
    trainer.Initialise(settings);
    EXPECT_EQ(trainer.CountedTicksPerStage(), 0);
    for (int tick = 0; tick < 1000; ++tick)
        EXPECT_EQ(trainer.OnTick(0x0001) & 0x01, 0);
    EXPECT_EQ(trainer.GetTempo(), 60);
}

// A run in minutes too short for its stages still goes through them, a tick each, and ends.
TEST(SpeedTrainerTimerStrategy, RunInMinutesTooShortForItsStagesStillEnds)
{
    Core::SpeedTrainerTimerStrategy trainer;
    auto settings = Settings(0, 0);
    settings.SpeedTrainer = 1;
    settings.Bpm = 120;
    settings.From = 0.5f;
    settings.Duration = 0.01f;  // 0.6 s for 60 stages
    settings.Warmup = 0.0f;
    settings.Warmdown = 0.0f;
    trainer.Initialise(settings);
    int tick = 0;
    while (tick < 100000 && !(trainer.OnTick(0x0001) & 0x2000))
        ++tick;
    EXPECT_LT(tick, 100000) << "the run never ended";
    EXPECT_EQ(trainer.GetTempo(), 120);
}

TEST(SpeedTrainerTimerStrategy, ZeroStartTempoStillTicks)
{
    Core::LinearTrainerStrategy linear;
    Core::SpeedTrainerTimerStrategy trainer;
    auto settings = Settings(0, 0);
    settings.TrainerCurve = &linear;
    settings.From = 0.0f;
    trainer.Initialise(settings);
    EXPECT_EQ(trainer.GetTempo(), 0);
    EXPECT_DOUBLE_EQ(trainer.GetInterval().count(), 7500.0);  // as 1 bpm
    EXPECT_GT(trainer.CountedTicksPerStage(), 0);
}

}  // namespace
