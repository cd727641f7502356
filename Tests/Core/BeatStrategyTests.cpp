#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/BeatsPerBarMetronomeStrategy.h"
#include "Core/CustomPatternMetronomeStrategy.h"
#include "Core/CustomRhythmMetronomeStrategy.h"
#include "Core/IBeatFlash.h"
#include "Core/SimpleBeatMetronomeStrategy.h"
#include "Core/SpeedTrainerTimerStrategy.h"
#include "Core/StandardTimerStrategy.h"
#include "Core/TrainerCurveSelection.h"
#include "EngineFakes.h"
#include "Platform/Text.h"

namespace {

using Core::MetronomeStrategy;

// Voice v sounds as 100 + v, so that the recorded sounds name the voices.
constexpr std::int32_t SoundOf(int voice)
{
    return 100 + voice;
}

// Everything a beat strategy talks to, and a start as the metronome makes it.
struct Rig {
    Tests::RecordingSoundEngine engine;
    Tests::RecordingHandler handler;
    Tests::FakeTimer timer;
    Tests::RecordingIndicator indicator;
    Core::StandardTimerStrategy standard;
    Core::SpeedTrainerTimerStrategy trainer;
    bool compound = false;
    std::int32_t secondary = 0;

    std::int32_t Start(MetronomeStrategy& strategy, Configuration::ConfigurationData& settings)
    {
        strategy.SetSoundEngine(&engine);
        strategy.SetHandler(&handler);
        strategy.SetTimer(&timer);
        strategy.SetIndicator(&indicator);
        strategy.SetVisual(settings.VisualIndicator == 1);
        strategy.ResetPosition();
        strategy.SetUserTempo(static_cast<std::int32_t>(settings.Bpm));
        strategy.SetWarmUp(settings.Warmup > 0.0f);
        strategy.SetBeep(settings.Beep == 1);
        strategy.SetVolumes(settings.Volume, settings.GlobalVolume);
        for (int voice = 0; voice < MetronomeStrategy::NumVoices; ++voice)
            strategy.SetSound(voice, SoundOf(voice));
        const std::int32_t code = strategy.CreatePattern(settings, settings.TicksPerBeat, secondary, compound);
        if (code != 0)
            return code;
        if (secondary != 0)
            settings.TicksPerBeat *= secondary;
        Core::ITimerStrategy* timing = &standard;
        if (settings.SpeedTrainer != 0) {
            timing = &trainer;
            settings.TrainerCurve = &Core::SelectTrainerCurve(settings);
            if (settings.DurationsInBars != 0) {
                settings.TrainerBeatsPerBar = strategy.GetBeatsPerBar(settings);
                if (compound)
                    settings.TrainerBeatsPerBar = (settings.TrainerBeatsPerBar + 2) / 3;
            }
        }
        strategy.SetTimerStrategy(timing);
        timing->Initialise(settings);
        return 0;
    }

    void Tick(MetronomeStrategy& strategy, int ticks)
    {
        for (int i = 0; i < ticks; ++i)
            strategy.OnTimer();
    }
};

std::vector<std::uint16_t> Pattern(const MetronomeStrategy& strategy)
{
    std::vector<std::uint16_t> entries;
    for (std::int32_t i = 0; i < strategy.PatternLength(); ++i)
        entries.push_back(strategy.PatternEntry(i));
    return entries;
}

Configuration::ConfigurationData Settings(std::uint32_t visual)
{
    Configuration::ConfigurationData settings;
    settings.VisualIndicator = visual;
    return settings;
}

TEST(BeatPattern, SubdivisionsSpreadOverOneBeat)
{
    struct Case {
        std::uint32_t first, second, visual;
        std::vector<std::uint16_t> entries;
        std::int32_t primary, secondary;
    };
    const std::vector<Case> cases = {
        {3, 0, 1, {0x0011, 0x0002, 0x0022}, 3, 0},
        {3, 0, 0, {0x0001, 0x0002, 0x0002}, 3, 0},
        {2, 3, 1, {0x0011, 0, 0x0004, 0x0022, 0x0004, 0}, 2, 3},
        {2, 3, 0, {0x0001, 0, 0x0004, 0x0002, 0x0004, 0}, 2, 3},
        {3, 2, 1, {0x0011, 0, 0x0002, 0x0024, 0x0002, 0}, 3, 2},
        {2, 4, 0, {0x0001, 0, 0x0004, 0, 0x0006, 0, 0x0004, 0}, 2, 4},
        {4, 4, 0, {0x0001, 0x0002, 0x0002, 0x0002}, 4, 0},  // equal: one subdivision
        {0, 5, 1, {0x0011, 0x0020}, 0, 0},                  // no primary: no secondary either
        {0, 0, 0, {0x0001}, 0, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        Core::SimpleBeatMetronomeStrategy simple;
        auto settings = Settings(c.visual);
        settings.Subdivision1 = c.first;
        settings.Subdivision2 = c.second;
        ASSERT_EQ(rig.Start(simple, settings), 0);
        EXPECT_EQ(Pattern(simple), c.entries) << c.first << "/" << c.second << " visual " << c.visual;
        EXPECT_EQ(rig.secondary, c.secondary);
        EXPECT_EQ(settings.TicksPerBeat, c.primary * (c.secondary ? c.secondary : 1));
    }
}

TEST(BeatPattern, NoSubdivisionsOrCompoundTimeAbove300Bpm)
{
    Rig rig;
    Core::BeatsPerBarMetronomeStrategy bars;
    auto settings = Settings(0);
    settings.Bpm = 301;
    settings.Subdivision1 = 4;
    settings.BeatsPerBar = 6;
    settings.CompoundTime = 1;
    ASSERT_EQ(rig.Start(bars, settings), 0);
    EXPECT_FALSE(rig.compound);
    EXPECT_EQ(Pattern(bars), (std::vector<std::uint16_t>{0x0001}));
    EXPECT_EQ(settings.TicksPerBeat, 0);
}

TEST(BeatPattern, OutOfRangeSubdivisionsAreBroughtIntoRange)
{
    Rig rig;
    Core::SimpleBeatMetronomeStrategy simple;
    auto settings = Settings(0);
    settings.Subdivision1 = 500;
    settings.Subdivision2 = 9;
    ASSERT_EQ(rig.Start(simple, settings), 0);
    EXPECT_EQ(simple.PatternLength(), 8);  // 8 and 8: one subdivision of 8
    EXPECT_EQ(settings.TicksPerBeat, 8);
}

TEST(BeatsPerBar, CompoundBarOfSeven)
{
    Rig rig;
    Core::BeatsPerBarMetronomeStrategy bars;
    auto settings = Settings(1);
    settings.BeatsPerBar = 7;
    settings.CompoundTime = 1;
    ASSERT_EQ(rig.Start(bars, settings), 0);
    EXPECT_TRUE(rig.compound);
    EXPECT_EQ(settings.TicksPerBeat, 3);
    EXPECT_EQ(Pattern(bars), (std::vector<std::uint16_t>{0x0011, 0x0001, 0x0021, 0x0011, 0x0001, 0x0021, 0x0011}));
    rig.Tick(bars, 7);
    EXPECT_EQ(rig.engine.Sounds(), (std::vector<std::int32_t>{100, 103, 103, 102, 103, 103, 102}));
    EXPECT_EQ(rig.indicator.shown, (std::vector<int>{0, -1, 2, -1, 2}));
}

TEST(BeatsPerBar, FourBeatsAreNeverCompound)
{
    Rig rig;
    Core::BeatsPerBarMetronomeStrategy bars;
    auto settings = Settings(0);
    settings.CompoundTime = 1;
    ASSERT_EQ(rig.Start(bars, settings), 0);
    EXPECT_FALSE(rig.compound);
    rig.Tick(bars, 5);
    EXPECT_EQ(rig.engine.Sounds(), (std::vector<std::int32_t>{100, 101, 101, 101, 100}));
}

TEST(BeatsPerBar, BeatsPerBarOutsideTheAcceptedRange)
{
    for (const auto& [given, used] : {std::pair{0u, 2}, std::pair{1u, 2}, std::pair{100u, 60}}) {
        Rig rig;
        Core::BeatsPerBarMetronomeStrategy bars;
        auto settings = Settings(0);
        settings.BeatsPerBar = given;
        settings.CompoundTime = 1;
        ASSERT_EQ(rig.Start(bars, settings), 0);
        EXPECT_EQ(bars.GetBeatsPerBar(settings), used);
        rig.Tick(bars, 2 * used + 1);
        const std::vector<std::int32_t> sounds = rig.engine.Sounds();
        ASSERT_EQ(static_cast<int>(sounds.size()), 2 * used + 1);
        EXPECT_EQ(sounds[used], 100) << "the bar starts again after " << used << " beats";
        EXPECT_EQ(sounds[2 * used], 100);
    }
}

TEST(CustomPattern, BeatsFollowTheGroups)
{
    Rig rig;
    Core::CustomPatternMetronomeStrategy pattern;
    auto settings = Settings(0);
    Platform::Text::Copy(settings.CustomPattern, u"3+2");
    ASSERT_EQ(rig.Start(pattern, settings), 0);
    EXPECT_EQ(pattern.GetBeatsPerBar(settings), 5);
    rig.Tick(pattern, 6);
    EXPECT_EQ(rig.engine.Sounds(), (std::vector<std::int32_t>{100, 102, 102, 101, 102, 100}));
}

TEST(CustomPattern, CompoundPatternIsTheWholePattern)
{
    Rig rig;
    Core::CustomPatternMetronomeStrategy pattern;
    auto settings = Settings(1);
    Platform::Text::Copy(settings.CustomPattern, u"6");
    settings.CompoundTime = 1;
    ASSERT_EQ(rig.Start(pattern, settings), 0);
    EXPECT_EQ(settings.TicksPerBeat, 3);
    EXPECT_EQ(Pattern(pattern), (std::vector<std::uint16_t>{0x0011, 0x0001, 0x0001, 0x0021, 0x0001, 0x0021}));
}

TEST(CustomPattern, BadTextReturnsItsCodeAndLeavesNothingToPlay)
{
    Rig rig;
    Core::CustomPatternMetronomeStrategy pattern;
    auto settings = Settings(1);
    Platform::Text::Copy(settings.CustomPattern, u"3+2");
    ASSERT_EQ(rig.Start(pattern, settings), 0);
    Platform::Text::Copy(settings.CustomPattern, u"200");
    EXPECT_EQ(rig.Start(pattern, settings), 9);
    Platform::Text::Copy(settings.CustomPattern, u"3+");
    EXPECT_EQ(rig.Start(pattern, settings), 6);
    EXPECT_EQ(pattern.GetBeatsPerBar(settings), 0);
    EXPECT_EQ(Pattern(pattern), (std::vector<std::uint16_t>{0}));
}

TEST(CustomRhythm, StepsPlayTheirVoicesAndShowTheFirstBesidesVoiceOne)
{
    struct Case {
        const char16_t* rhythm;
        std::vector<std::int32_t> sounds;
        std::int32_t shown;
    };
    const std::vector<Case> cases = {
        {u"[13]", {100, 102}, 2},
        {u"[31]", {102, 100}, 2},
        {u"1", {100}, 0},
        {u" ", {}, 0},
        {u"[1b]", {100, 111}, 11},
        // Eight voices led by voice 12: the top field is read unsigned.
        {u"[b1234567]", {111, 100, 101, 102, 103, 104, 105, 106}, 11},
    };
    for (const Case& c : cases) {
        Rig rig;
        Core::CustomRhythmMetronomeStrategy rhythm;
        auto settings = Settings(0);
        Platform::Text::Copy(settings.CustomRhythm, c.rhythm);
        ASSERT_EQ(rig.Start(rhythm, settings), 0);
        EXPECT_EQ(rhythm.PlayBeat(), c.shown);
        EXPECT_EQ(rig.engine.Sounds(), c.sounds);
    }
}

TEST(CustomRhythm, PatternIsOneBeatOfSteps)
{
    Rig rig;
    Core::CustomRhythmMetronomeStrategy rhythm;
    auto settings = Settings(1);
    Platform::Text::Copy(settings.CustomRhythm, u"1 2 3 ");
    settings.CrSubdivision = 3;
    ASSERT_EQ(rig.Start(rhythm, settings), 0);
    EXPECT_EQ(Pattern(rhythm), (std::vector<std::uint16_t>{0x0011, 0x0001, 0x0021}));
    rig.Tick(rhythm, 7);
    EXPECT_EQ(rig.engine.Sounds(), (std::vector<std::int32_t>{100, 101, 102, 100}));

    settings.CrSubdivision = 9;  // read as 8
    ASSERT_EQ(rig.Start(rhythm, settings), 0);
    EXPECT_EQ(settings.TicksPerBeat, 8);
    EXPECT_EQ(rhythm.PatternLength(), 8);

    settings.CrSubdivision = 0;
    ASSERT_EQ(rig.Start(rhythm, settings), 0);
    EXPECT_EQ(Pattern(rhythm), (std::vector<std::uint16_t>{0x0011, 0x0020}));

    settings.CrCompoundTime = 1;
    ASSERT_EQ(rig.Start(rhythm, settings), 0);
    EXPECT_EQ(settings.TicksPerBeat, 3);
    EXPECT_EQ(rhythm.PatternLength(), 6);
    settings.CrBeatsPerBar = 40;
    EXPECT_EQ(rhythm.GetBeatsPerBar(settings), 16);
}

TEST(EmptyCustomText, KeepsOneSilentEntryAndPlaysNothing)
{
    for (const bool rhythmType : {false, true}) {
        for (const std::uint32_t compound : {0u, 1u}) {
            Rig rig;
            Core::CustomPatternMetronomeStrategy pattern;
            Core::CustomRhythmMetronomeStrategy rhythm;
            MetronomeStrategy& strategy = rhythmType ? static_cast<MetronomeStrategy&>(rhythm) : pattern;
            auto settings = Settings(1);
            settings.CompoundTime = compound;
            settings.CrCompoundTime = compound;
            ASSERT_EQ(rig.Start(strategy, settings), 0);
            EXPECT_EQ(Pattern(strategy), (std::vector<std::uint16_t>{0}));
            rig.Tick(strategy, 20);
            EXPECT_TRUE(rig.engine.clicks.empty());
            EXPECT_TRUE(rig.indicator.shown.empty());
            EXPECT_EQ(strategy.PlayBeat(), 0);
            EXPECT_TRUE(rig.engine.clicks.empty());
        }
    }
}

TEST(Tick, PlaysSubdivisionsAndDrivesTheIndicator)
{
    Rig rig;
    Core::SimpleBeatMetronomeStrategy simple;
    auto settings = Settings(1);
    settings.Subdivision1 = 2;
    settings.Subdivision2 = 3;
    ASSERT_EQ(rig.Start(simple, settings), 0);
    rig.Tick(simple, 7);
    EXPECT_EQ(rig.engine.Sounds(), (std::vector<std::int32_t>{100, 104, 103, 104, 100}));
    EXPECT_EQ(rig.indicator.shown, (std::vector<int>{0, -1, 0}));
    EXPECT_EQ(simple.Position(), 1);
}

TEST(Tick, VolumesScaleWithTheGlobalVolume)
{
    Rig rig;
    Core::SimpleBeatMetronomeStrategy simple;
    auto settings = Settings(0);
    settings.GlobalVolume = 50;
    settings.Volume[0] = 127;
    settings.Volume[1] = 1000;  // read as 127
    ASSERT_EQ(rig.Start(simple, settings), 0);
    EXPECT_EQ(simple.Volume(0), 63);
    EXPECT_EQ(simple.Volume(1), 63);
    rig.Tick(simple, 1);
    ASSERT_EQ(rig.engine.clicks.size(), 1u);
    EXPECT_EQ(rig.engine.clicks[0].volume, 63);
    const std::uint32_t loud[12] = {127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127};
    simple.SetVolumes(loud, 250);  // read as 100 %
    EXPECT_EQ(simple.Volume(11), 127);
}

TEST(Tick, StoppedTimerPlaysNothing)
{
    Rig rig;
    Core::SimpleBeatMetronomeStrategy simple;
    auto settings = Settings(0);
    ASSERT_EQ(rig.Start(simple, settings), 0);
    rig.timer.running = false;
    rig.Tick(simple, 3);
    EXPECT_TRUE(rig.engine.clicks.empty());
    EXPECT_EQ(simple.Position(), 0);
}

TEST(Tick, FailedClickStopsAndReportsTheEnginesError)
{
    Rig rig;
    Core::SimpleBeatMetronomeStrategy simple;
    auto settings = Settings(1);
    settings.Bpm = 90;
    ASSERT_EQ(rig.Start(simple, settings), 0);
    rig.engine.failAt = 2;
    rig.engine.failCode = 1000;  // a voice without an audio file
    rig.Tick(simple, 10);
    EXPECT_EQ(rig.engine.clicks.size(), 3u);
    EXPECT_FALSE(rig.timer.running);
    EXPECT_EQ(rig.engine.closed, 1);
    EXPECT_EQ(rig.indicator.hidden, 1);
    // The message belongs to the failed click, not to the closing of the device.
    EXPECT_EQ(rig.handler.log, (std::vector<std::string>{"stopped 90", "error 49"}));
}

TEST(Tick, FailedBeepStopsTheTrainer)
{
    Rig rig;
    Core::SimpleBeatMetronomeStrategy simple;
    auto settings = Settings(0);
    settings.SpeedTrainer = 1;
    settings.DurationsInBars = 1;
    ASSERT_EQ(rig.Start(simple, settings), 0);
    rig.engine.failAt = 5;  // four beats of warm-up, then the beep with the fifth
    rig.engine.failCode = 6;
    rig.Tick(simple, 100);
    EXPECT_EQ(rig.handler.log, (std::vector<std::string>{"stopped 120", "error 29"}));
    EXPECT_EQ(rig.engine.Sounds().back(), SoundOf(MetronomeStrategy::BeepVoice));
}

// A whole speed-training run, tick by tick: the clicks and events in the order they happen,
// runs of beat clicks counted.
std::vector<std::string> TrainerRun(Configuration::ConfigurationData& settings)
{
    Rig rig;
    Core::SimpleBeatMetronomeStrategy simple;
    rig.engine.timeline = &rig.handler.log;
    EXPECT_EQ(rig.Start(simple, settings), 0);
    for (int tick = 0; tick < 100000 && rig.timer.running; ++tick)
        simple.OnTimer();
    EXPECT_FALSE(rig.timer.running);
    EXPECT_EQ(rig.engine.closed, 1);

    std::vector<std::string> summary;
    int beats = 0;
    for (const std::string& line : rig.handler.log) {
        if (line == "click 100") {
            ++beats;
            continue;
        }
        if (beats != 0)
            summary.push_back(std::to_string(beats) + " beats");
        beats = 0;
        summary.push_back(line == "click 105" ? "beep" : line);
    }
    if (beats != 0)
        summary.push_back(std::to_string(beats) + " beats");
    return summary;
}

TEST(SpeedTrainerRun, ReportsEveryStageInOrderCountedInBars)
{
    auto settings = Settings(0);
    settings.SpeedTrainer = 1;
    settings.DurationsInBars = 1;
    settings.Duration = 1.0f;  // one bar of four beats per stage
    settings.Warmup = 1.0f;
    settings.Warmdown = 1.0f;
    const std::vector<std::string> run = TrainerRun(settings);

    // The warm-up's beep comes with the first beat after it, on the bar line.
    std::vector<std::string> expected = {"5 beats", "beep", "event 2 0", "4 beats", "beep", "event 1 66"};
    for (int tempo = 72; tempo <= 120; tempo += 6)
        expected.insert(expected.end(), {"4 beats", "beep", "event 1 " + std::to_string(tempo)});
    expected.insert(expected.end(), {"4 beats", "beep", "event 5 105"});
    for (int tempo : {90, 75, 60})
        expected.insert(expected.end(), {"4 beats", "beep", "event 1 " + std::to_string(tempo)});
    expected.insert(expected.end(), {"4 beats", "stopped 120"});
    EXPECT_EQ(run, expected);
}

TEST(SpeedTrainerRun, BeepsSoundWithABeatClickWhenStagesEndBetweenBeats)
{
    // Stages counted in minutes end on whichever timer tick fills them, mostly between two
    // beats; the beep waits for the next beat. So does the one at the end of the warm-up.
    for (const float warmup : {0.0f, 0.1f}) {
        SCOPED_TRACE(warmup);
        Rig rig;
        Core::SimpleBeatMetronomeStrategy simple;
        auto settings = Settings(1);
        settings.SpeedTrainer = 1;
        settings.Duration = 0.2f;
        settings.Warmup = warmup;
        settings.Warmdown = 0.0f;
        ASSERT_EQ(rig.Start(simple, settings), 0);
        int beeps = 0;
        int changes = 0;
        for (int tick = 0; tick < 100000 && rig.timer.running; ++tick) {
            const std::size_t before = rig.engine.Sounds().size();
            const std::size_t events = rig.handler.log.size();
            simple.OnTimer();
            const std::vector<std::int32_t> sounds = rig.engine.Sounds();
            const std::vector<std::int32_t> now(sounds.begin() + static_cast<std::ptrdiff_t>(before), sounds.end());
            for (std::size_t i = events; i < rig.handler.log.size(); ++i)
                changes += rig.handler.log[i].rfind("event", 0) == 0 ? 1 : 0;
            if (std::find(now.begin(), now.end(), SoundOf(MetronomeStrategy::BeepVoice)) == now.end())
                continue;
            ++beeps;
            EXPECT_EQ(now.front(), SoundOf(0)) << "a beep without a beat at tick " << tick;
        }
        EXPECT_EQ(beeps, changes);
        EXPECT_GE(beeps, 10);
    }
}

TEST(SpeedTrainerRun, LogarithmicRunInMinutesWithoutBeeps)
{
    auto settings = Settings(1);
    settings.SpeedTrainer = 1;
    settings.Logarithmic = 1;
    settings.Beep = 0;
    settings.Duration = 1.1f;  // 6 s per stage
    settings.Warmup = 0.0f;
    settings.Warmdown = 0.0f;
    const std::vector<std::string> run = TrainerRun(settings);

    std::vector<std::string> events;
    for (const std::string& line : run)
        if (line.rfind("event", 0) == 0 || line.rfind("stopped", 0) == 0)
            events.push_back(line);
    std::vector<std::string> expected;
    for (int tempo : {72, 82, 90, 97, 103, 107, 112, 115, 118, 120})
        expected.push_back("event 1 " + std::to_string(tempo));
    expected.push_back("stopped 120");
    EXPECT_EQ(events, expected);
    // Six seconds at 60 bpm, then at 72 bpm: the beats before the first change and after it.
    ASSERT_GE(run.size(), 3u);
    EXPECT_EQ(run[0], "6 beats");
    EXPECT_EQ(run[2], "8 beats");
}

// The stages renew the timer's interval; at the end the run closes the engine only once its last
// click, handed over a lead before it sounds, has been heard (and has rung a moment).
TEST(SpeedTrainerRun, TempoChangesRenewTheTimerIntervalAndTheEndLetsTheLastClickSound)
{
    Rig rig;
    Core::SimpleBeatMetronomeStrategy simple;
    auto settings = Settings(0);
    settings.SpeedTrainer = 1;
    settings.DurationsInBars = 1;
    settings.Duration = 1.0f;
    ASSERT_EQ(rig.Start(simple, settings), 0);
    const Core::Moment started = Core::HeardTime::Now();
    rig.timer.tick.heardAt = started + std::chrono::milliseconds(100);
    for (int tick = 0; tick < 100000 && rig.timer.running; ++tick)
        simple.OnTimer();
    EXPECT_EQ(rig.engine.closed, 1);
    EXPECT_GE(Core::HeardTime::Now() - started, std::chrono::milliseconds(100) + MetronomeStrategy::LastClickRing);
    ASSERT_EQ(rig.timer.intervals.size(), 14u);
    EXPECT_DOUBLE_EQ(rig.timer.intervals[0], 60000.0 / (66 * 8));
    EXPECT_DOUBLE_EQ(rig.timer.intervals[9], 62.5);
    EXPECT_DOUBLE_EQ(rig.timer.intervals[10], 71.0);  // whole milliseconds: 60000 / 840
    EXPECT_DOUBLE_EQ(rig.timer.intervals[13], 125.0);
}

// The big flash hears of every beat, with its place in the bar, and of every subdivision; a run
// limited to whole bars ends before the next bar's first beat; muted, nothing sounds and the
// flash goes on.
TEST(BeatFlash, PulsesCountTheBarAndABarLimitEndsTheRunBeforeTheNextBar)
{
    struct Flash final : Core::IBeatFlash {
        void Pulse(const Core::BeatPulse& pulse) noexcept override
        {
            places.push_back(pulse.beat);
            beats = pulse.beats;
            grid = pulse.subdivisions;
        }
        std::vector<std::int32_t> places;
        std::int32_t beats = 0;
        std::int32_t grid = 0;
    };
    struct Case {
        const char* name;
        int beatType;  // 0 simple, 1 beats per bar, 3 custom rhythm
        std::vector<std::int32_t> places;
        std::int32_t beats;
    };
    // Three beats to a bar, each halved: a subdivision (-1) after every beat.
    const std::vector<Case> cases = {
        {"beats per bar", 1, {0, -1, 1, -1, 2, -1, 0, -1, 1, -1, 2, -1}, 3},
        {"rhythm, two steps a beat", 3, {0, -1, 1, -1, 2, -1, 0, -1, 1, -1, 2, -1}, 3},
        {"simple beat, bars of four", 0, {0, -1, 1, -1, 2, -1, 3, -1, 0, -1, 1, -1, 2, -1, 3, -1}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool muted : {false, true}) {
            Rig rig;
            Flash flash;
            Core::SimpleBeatMetronomeStrategy simple;
            Core::BeatsPerBarMetronomeStrategy bars;
            Core::CustomRhythmMetronomeStrategy rhythm;
            MetronomeStrategy& strategy = c.beatType == 0 ? static_cast<MetronomeStrategy&>(simple)
                : c.beatType == 1                         ? static_cast<MetronomeStrategy&>(bars)
                                                          : static_cast<MetronomeStrategy&>(rhythm);
            auto settings = Settings(0);
            settings.BeatsPerBar = 3;
            settings.Subdivision1 = 2;
            settings.CrSubdivision = 2;
            Platform::Text::Copy(settings.CustomRhythm, u"121212");
            strategy.SetFlash(&flash);
            strategy.SetBarLimit(2);
            strategy.SetMuted(muted);
            ASSERT_EQ(rig.Start(strategy, settings), 0);
            rig.Tick(strategy, static_cast<int>(c.places.size()) + 5);

            EXPECT_EQ(flash.places, c.places);
            EXPECT_EQ(flash.beats, c.beats);
            // The halves are the grid a take is scored on; a rhythm's steps are its own.
            EXPECT_EQ(flash.grid, c.beatType == 3 ? 1 : 2);
            ASSERT_GE(rig.handler.log.size(), 2u);
            EXPECT_EQ(rig.handler.log.front(), "event 16 0");
            EXPECT_EQ(rig.handler.log.back(), "stopped 120");
            EXPECT_FALSE(rig.timer.running);
            // Every click of the two bars, and not the next bar's first.
            EXPECT_EQ(rig.engine.clicks.size(), muted ? 0u : c.places.size());
        }
    }
}

}  // namespace
