#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Configuration/ExtraSettings.h"
#include "Core/CountIn.h"
#include "Core/Metronome.h"
#include "Core/MetronomeStrategy.h"
#include "Core/PercussionTable.h"
#include "Core/SpeedTrainerTimerStrategy.h"
#include "Core/Timer.h"
#include "EngineFakes.h"
#include "Platform/AudioOutput.h"
#include "Platform/SoundFontSynth.h"
#include "Platform/Text.h"
#include "Support/RecordingLog.h"
#include "System/MultimediaError.h"

namespace {

constexpr std::int64_t Ms = 1000000;  // clock counts (ns) per millisecond

// A clock under the test's control: the timer's worker waits in it until the test grants
// ticks, and time jumps to each tick instead of passing. The test can then tell when the
// worker has delivered every granted tick and is waiting again.
class GatedClock final : public Core::Timer::IClock {
public:
    std::int64_t Now() override { return _time += 1000; }
    double Frequency() override { return 1e9; }
    void Wait(Platform::AutoResetEvent& event, int milliseconds) override
    {
        {
            std::lock_guard lock(_mutex);
            _idle = true;
        }
        _changed.notify_all();
        for (;;) {
            const bool woken = event.Wait(1);
            std::lock_guard lock(_mutex);
            if (woken || _granted > 0) {
                if (!woken) {
                    --_granted;
                    _time += milliseconds * Ms;
                }
                _idle = false;
                return;
            }
        }
    }
    void SleepUntil(std::int64_t deadline) override { _time = std::max(_time, deadline); }
    // Its counts stand for output frames: a click's frame is its tick's due time.
    Platform::OutputFrame FrameOf(std::int64_t due) override { return due; }

    void Grant(int ticks)
    {
        std::lock_guard lock(_mutex);
        _granted += ticks;
    }
    // Takes back the ticks a worker that ended did not use.
    void Revoke()
    {
        std::lock_guard lock(_mutex);
        _granted = 0;
    }
    // True once every granted tick is delivered and the worker waits for more.
    bool Settled()
    {
        std::lock_guard lock(_mutex);
        return _idle && _granted == 0;
    }

private:
    std::int64_t _time = 1000 * Ms;  // the worker's alone
    std::mutex _mutex;
    std::condition_variable _changed;
    bool _idle = false;
    int _granted = 0;
};

Configuration::ConfigurationData Settings()
{
    Configuration::ConfigurationData settings;
    // Audio-file sounds are the instrument numbers themselves: voice v sounds as 100 + v.
    settings.SoundEngineType = 1;
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice)
        settings.Instrument[voice] = 100 + static_cast<std::uint32_t>(voice);
    settings.VisualIndicator = 0;
    settings.Warmup = 0.0f;
    settings.Warmdown = 0.0f;
    settings.Beep = 0;
    return settings;
}

// A short speed-training run: 360 to 400 bpm in ten stages of a few beats each.
Configuration::ConfigurationData TrainerSettings()
{
    auto settings = Settings();
    settings.SpeedTrainer = 1;
    settings.Bpm = 400;
    settings.From = 0.9f;
    settings.Duration = 0.01f;
    return settings;
}

class MetronomeTest : public ::testing::Test {
protected:
    MetronomeTest()
    {
        metronome.UseStandIns({&engine});
        metronome.SetBeatIndicator(&indicator);
    }
    ~MetronomeTest() override
    {
        timer.Stop();
        timer.Join();
    }

    // Lets the worker deliver `ticks` more ticks (after the first, which comes at start) and
    // waits until it has, or until playing stopped by itself.
    void Advance(int ticks)
    {
        clock.Grant(ticks);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (timer.IsRunning() && !clock.Settled()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the timer's worker hangs";
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (!timer.IsRunning()) {
            timer.Join();
            clock.Revoke();
        }
    }
    // Ticks on, one at a time, until `clicks` clicks have been played.
    void AdvanceToClicks(std::size_t clicks)
    {
        for (int tick = 0; tick < 10000 && engine.clicks.size() < clicks && timer.IsRunning(); ++tick)
            Advance(1);
        ASSERT_EQ(engine.clicks.size(), clicks);
    }
    std::int32_t StartAndSettle(Configuration::ConfigurationData& settings)
    {
        const std::int32_t code = metronome.Start(handler, settings);
        if (code == 0)
            Advance(0);
        return code;
    }
    std::int32_t Entry() const { return metronome.CurrentStrategy()->Position(); }

    GatedClock clock;
    Core::Timer timer{&clock};
    Core::Metronome metronome{timer};
    Tests::RecordingSoundEngine engine;
    Tests::RecordingHandler handler;
    Tests::RecordingIndicator indicator;
};

using Log = std::vector<std::string>;
using Sounds = std::vector<std::int32_t>;

TEST_F(MetronomeTest, BarsOfFourPlayFromTheFirstTickAndStopReportsTheTempo)
{
    auto settings = Settings();
    settings.BeatType = 1;
    settings.VisualIndicator = 1;
    ASSERT_EQ(StartAndSettle(settings), 0);
    EXPECT_TRUE(metronome.IsRunning());
    EXPECT_EQ(engine.initialised, 1);
    EXPECT_EQ(indicator.prepared, 1);
    Advance(9);  // with the indicator on, every beat has a second, silent entry
    EXPECT_EQ(engine.Sounds(), (Sounds{100, 101, 101, 101, 100}));
    EXPECT_EQ(timer.CountsPerTick(), 250 * Ms);

    metronome.Stop();
    EXPECT_FALSE(metronome.IsRunning());
    EXPECT_EQ(engine.closed, 1);
    EXPECT_EQ(indicator.hidden, 1);
    EXPECT_EQ(handler.log, (Log{"stopped 120"}));
}

TEST_F(MetronomeTest, FailedStartsReturnTheirCodeAndNothingPlays)
{
    struct Case {
        const char* what;
        std::uint32_t beatType;
        std::u16string text;
        bool engineFails;
        std::int32_t code;
    };
    const std::vector<Case> cases = {
        {"beat type 4", 4, u"", false, 3},
        {"engine refuses", 0, u"", true, 5},
        {"malformed pattern", 2, u"3++2", false, 6},
        {"empty pattern: no silence behind a Stop button", 2, u"", false, 6},
        {"too many pattern beats", 2, u"99+99+99+99+99+17", false, 8},
        {"pattern group too large", 2, u"3+110", false, 9},
        {"malformed rhythm", 3, u"1[2", false, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tests::RecordingSoundEngine failing;
        failing.initialiseResult = !c.engineFails;
        metronome.UseStandIns({&failing});
        auto settings = Settings();
        settings.BeatType = c.beatType;
        settings.SpeedTrainer = 1;
        Platform::Text::Copy(settings.CustomPattern, c.text);
        Platform::Text::Copy(settings.CustomRhythm, c.text);
        EXPECT_EQ(metronome.Start(handler, settings), c.code);
        EXPECT_FALSE(metronome.IsRunning());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(failing.clicks.empty());
        EXPECT_TRUE(handler.log.empty()) << "a failed start never reaches the trainer";
        // An engine that was opened for the start is closed again.
        EXPECT_EQ(failing.closed, c.engineFails || c.code == 3 ? 0 : 1);
        EXPECT_EQ(failing.initialised, c.code == 3 ? 0 : 1);
    }

    // The same metronome starts afterwards as if nothing had happened.
    metronome.UseStandIns({&engine});
    auto settings = Settings();
    ASSERT_EQ(StartAndSettle(settings), 0);
    EXPECT_EQ(engine.Sounds(), (Sounds{100}));
}

// A metronome of its own (a click track's export) prepares nothing the program's plays with.
TEST_F(MetronomeTest, ASecondMetronomeLeavesTheFirstOnesBarsAlone)
{
    auto settings = Settings();
    settings.BeatType = 1;
    ASSERT_EQ(StartAndSettle(settings), 0);
    Advance(1);

    GatedClock otherClock;
    Core::Timer otherTimer{&otherClock};
    Tests::RecordingSoundEngine otherEngine;
    {
        Core::Metronome other{otherTimer};
        other.UseStandIns({&otherEngine});
        auto waltz = Settings();
        waltz.BeatType = 1;
        waltz.BeatsPerBar = 3;
        ASSERT_EQ(other.Start(handler, waltz), 0);
        EXPECT_NE(other.CurrentStrategy(), metronome.CurrentStrategy());
        other.Stop();
    }
    Advance(3);
    EXPECT_EQ(engine.Sounds(), (Sounds{100, 101, 101, 101, 100}));
}

TEST_F(MetronomeTest, StartWhilePlayingIsRefusedAndLogged)
{
    Tests::RecordingLog log;
    auto settings = Settings();
    ASSERT_EQ(StartAndSettle(settings), 0);
    auto other = Settings();
    other.BeatType = 1;
    other.Bpm = 60;
    EXPECT_EQ(metronome.Start(handler, other), 2);
    EXPECT_TRUE(log.Has(System::Error, "start refused"));
    EXPECT_EQ(engine.initialised, 1) << "the refused start prepared nothing";
    // Still the first start, alone, at its own tempo.
    Advance(2);
    EXPECT_EQ(engine.Sounds(), (Sounds{100, 100, 100}));
    EXPECT_EQ(timer.CountsPerTick(), 500 * Ms);
}

TEST_F(MetronomeTest, SpeedTrainerStartIsReportedOnceBeforeTheFirstClick)
{
    auto settings = TrainerSettings();
    settings.Warmup = 0.5f;
    handler.log.reserve(64);
    engine.timeline = &handler.log;
    ASSERT_EQ(StartAndSettle(settings), 0);
    Advance(3);
    ASSERT_GE(handler.log.size(), 2u);
    EXPECT_EQ(handler.log[0], "started 360 1");
    EXPECT_EQ(handler.log[1], "click 100");
    EXPECT_EQ(std::count(handler.log.begin(), handler.log.end(), "started 360 1"), 1);
    EXPECT_NE(settings.TrainerCurve, nullptr);
    metronome.Stop();

    // Without the trainer: never.
    handler.log.clear();
    auto plain = Settings();
    ASSERT_EQ(StartAndSettle(plain), 0);
    Advance(3);
    metronome.Stop();
    EXPECT_EQ(handler.log, (Log{"click 100", "click 100", "click 100", "click 100", "stopped 120"}));
}

TEST_F(MetronomeTest, TrainerBarsCountCompoundBarsInDottedBeats)
{
    auto settings = TrainerSettings();
    settings.BeatType = 1;
    settings.BeatsPerBar = 7;
    settings.CompoundTime = 1;
    settings.DurationsInBars = 1;
    settings.Bpm = 120;
    ASSERT_EQ(StartAndSettle(settings), 0);
    EXPECT_EQ(settings.TicksPerBeat, 3);
    EXPECT_EQ(settings.TrainerBeatsPerBar, 3);
    settings.CompoundTime = 0;
    metronome.Stop();
    ASSERT_EQ(StartAndSettle(settings), 0);
    EXPECT_EQ(settings.TrainerBeatsPerBar, 7);
}

TEST_F(MetronomeTest, TempoChangesWhilePlayingUnlessTheTrainerOwnsIt)
{
    auto settings = Settings();
    ASSERT_EQ(StartAndSettle(settings), 0);
    metronome.SetTempo(130);
    EXPECT_EQ(timer.CountsPerTick(), static_cast<std::int64_t>(60000.0 / 130 * Ms));
    Advance(2);
    EXPECT_EQ(engine.Sounds().size(), 3u);
    metronome.Stop();
    EXPECT_EQ(handler.log, (Log{"stopped 130"}));

    handler.log.clear();
    auto trainer = TrainerSettings();
    ASSERT_EQ(StartAndSettle(trainer), 0);
    const std::int64_t interval = timer.CountsPerTick();
    metronome.SetTempo(130);
    EXPECT_EQ(timer.CountsPerTick(), interval);
    metronome.Stop();
    EXPECT_EQ(handler.log, (Log{"started 360 0", "stopped 400"}));
}

TEST_F(MetronomeTest, VolumesChangeFromTheNextClick)
{
    auto settings = Settings();
    ASSERT_EQ(StartAndSettle(settings), 0);
    std::uint32_t volumes[12];
    std::fill(std::begin(volumes), std::end(volumes), 127u);
    metronome.SetVolumes(volumes, 50);
    Advance(1);
    ASSERT_EQ(engine.clicks.size(), 2u);
    EXPECT_EQ(engine.clicks[0].volume, 127);
    EXPECT_EQ(engine.clicks[1].volume, 63);
}

TEST_F(MetronomeTest, PauseTwiceResumesAtTheSameEntryWithoutANewTrainerStart)
{
    auto settings = TrainerSettings();
    settings.BeatType = 1;
    settings.VisualIndicator = 1;
    settings.Duration = 1.0f;  // long stages: the run goes on through the pause
    ASSERT_EQ(StartAndSettle(settings), 0);
    AdvanceToClicks(3);  // entries: beat, dark, beat, dark, beat
    const std::int32_t entry = Entry();
    auto& trainer = dynamic_cast<Core::SpeedTrainerTimerStrategy&>(*metronome.CurrentStrategy()->GetTimerStrategy());
    Advance(1);  // part of the way through the dark entry
    const std::int32_t counted = trainer.CountedTicksInStage();

    metronome.TogglePause();
    EXPECT_FALSE(metronome.IsRunning());
    EXPECT_TRUE(metronome.IsPlaying() && metronome.IsPaused()) << "a paused run is still on";
    EXPECT_EQ(engine.closed, 0) << "a pause keeps the output open";
    EXPECT_EQ(indicator.hidden, 0);
    ASSERT_FALSE(indicator.shown.empty());
    EXPECT_EQ(indicator.shown.back(), -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(engine.clicks.size(), 3u) << "nothing plays while paused";

    metronome.TogglePause();
    Advance(0);
    EXPECT_TRUE(metronome.IsRunning());
    EXPECT_EQ(Entry(), entry);
    EXPECT_EQ(trainer.CountedTicksInStage(), counted + 1) << "the stage goes on counting";
    // The bar goes on with its fourth beat, then starts again.
    AdvanceToClicks(5);
    EXPECT_EQ(engine.Sounds(), (Sounds{100, 101, 101, 101, 100}));
    EXPECT_EQ(handler.log, (Log{"started 360 0"}));
    // Stopped while paused, the run is over: a further toggle resumes nothing.
    metronome.TogglePause();
    metronome.Stop();
    metronome.TogglePause();
    EXPECT_FALSE(metronome.IsPlaying() || metronome.IsPaused() || metronome.IsRunning());
}

TEST_F(MetronomeTest, StepSequencerPlaysSubStepsAndShowsNothing)
{
    auto settings = Settings();
    settings.BeatType = 3;
    settings.SpeedTrainer = 5;
    settings.CrSubdivision = 2;
    Platform::Text::Copy(settings.CustomRhythm, u"12");
    ASSERT_EQ(StartAndSettle(settings), 0);
    // Two steps a beat at 120 bpm, cut into twelve sub-steps each: 24 ticks a beat.
    EXPECT_EQ(timer.CountsPerTick(), static_cast<std::int64_t>(60000.0 / (24 * 120) * Ms));
    Advance(23);
    metronome.Stop();
    EXPECT_EQ(indicator.prepared, 0);
    EXPECT_TRUE(indicator.shown.empty());
    EXPECT_EQ(indicator.hidden, 0);
    // Every tick is a sub-step; only the first of each step plays.
    EXPECT_EQ(engine.Sounds(), (Sounds{100, 101}));
    EXPECT_EQ(std::count(handler.log.begin(), handler.log.end(), "event 8 0"), 24);
    EXPECT_EQ(handler.log.back(), "stopped 120");
}

// A sound the run plays whose audio file is not set stops the start, naming it, before any
// click; a sound the run does not play is not asked about.
TEST_F(MetronomeTest, ASoundWithoutItsFileStopsTheStartBeforeTheFirstClick)
{
    struct Case {
        const char* what;
        std::uint32_t beatType;
        std::uint32_t subdivision;
        std::int32_t countInBeats;
        std::int32_t voice;  // the voice without its file
        bool refused;        // false: the run does not play it, and starts
    };
    const std::vector<Case> cases = {
        {"simple beat: voice 1", 0, 0, 0, 0, true},        {"simple beat does not play voice 2", 0, 0, 0, 1, false},
        {"bars: the other beats", 1, 0, 0, 1, true},       {"a subdivision", 1, 2, 0, 3, true},
        {"no subdivision, no voice 4", 1, 0, 0, 3, false}, {"the count-in's voice", 0, 0, 2, 1, true},
        {"custom rhythm step", 3, 0, 0, 6, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tests::RecordingLog log;
        Tests::RecordingSoundEngine partial;
        metronome.UseStandIns({&partial});
        auto settings = Settings();
        settings.BeatType = c.beatType;
        settings.Subdivision1 = c.subdivision;
        Platform::Text::Copy(settings.CustomRhythm, u"1 7 1 1");
        Core::CountIn countIn;
        countIn.length = c.countInBeats > 0 ? Core::CountIn::Length::Beats : Core::CountIn::Length::Off;
        countIn.amount = c.countInBeats;
        metronome.SetCountIn(countIn);
        partial.unplayable = static_cast<std::int32_t>(settings.Instrument[c.voice]);
        const std::int32_t code = StartAndSettle(settings);
        if (!c.refused) {
            EXPECT_EQ(code, 0);
            metronome.Stop();
            timer.Join();
            continue;
        }
        EXPECT_EQ(code, Core::Metronome::SoundHasNoFile);
        EXPECT_EQ(metronome.SoundWithoutFile(), c.voice);
        EXPECT_FALSE(metronome.IsRunning());
        EXPECT_TRUE(partial.clicks.empty());
        EXPECT_EQ(partial.closed, 1);
        EXPECT_TRUE(log.Has(System::Error, ("Sound " + std::to_string(c.voice + 1) + " plays audio file").c_str()));
    }
    metronome.SetCountIn({});
}

TEST_F(MetronomeTest, FailedClickStopsThenReportsTheEnginesResult)
{
    auto settings = Settings();
    settings.BeatType = 1;
    settings.VisualIndicator = 1;
    engine.failAt = 2;
    engine.failCode = 6;  // no driver
    ASSERT_EQ(StartAndSettle(settings), 0);
    Advance(10);
    EXPECT_FALSE(metronome.IsRunning());
    EXPECT_EQ(engine.clicks.size(), 3u);
    EXPECT_EQ(engine.closed, 1);
    EXPECT_EQ(indicator.hidden, 1);
    EXPECT_EQ(handler.log, (Log{"stopped 120", "error " + std::to_string(System::MultimediaMessageId(6))}));
}

TEST_F(MetronomeTest, TrainerEndStopsByItself)
{
    auto settings = TrainerSettings();
    ASSERT_EQ(StartAndSettle(settings), 0);
    Advance(100000);
    EXPECT_FALSE(metronome.IsRunning());
    EXPECT_EQ(engine.closed, 1);
    ASSERT_EQ(handler.log.size(), 12u);
    EXPECT_EQ(handler.log.front(), "started 360 0");
    EXPECT_EQ(handler.log[10], "event 1 400");
    EXPECT_EQ(handler.log.back(), "stopped 400");
    const std::size_t clicks = engine.clicks.size();
    Advance(10);
    EXPECT_EQ(engine.clicks.size(), clicks);

    // And it starts again from the beginning.
    handler.log.clear();
    ASSERT_EQ(StartAndSettle(settings), 0);
    EXPECT_EQ(handler.log, (Log{"started 360 0"}));
}

TEST_F(MetronomeTest, MidiSoundsAreThePercussionNotesOfTheInstrumentRows)
{
    auto settings = Settings();
    settings.SoundEngineType = 0;
    settings.BeatType = 1;
    settings.Instrument[0] = 0;
    settings.Instrument[1] = 46;
    ASSERT_EQ(StartAndSettle(settings), 0);
    Advance(3);
    EXPECT_EQ(engine.Sounds(),
              (Sounds{Core::PercussionTable::Note(0), Core::PercussionTable::Note(46), Core::PercussionTable::Note(46),
                      Core::PercussionTable::Note(46)}));
}

// With the real MIDI engine, on the null output: a volume changed while playing has its sounds
// rendered at once, not at the first click that needs them (which would then be heard late).
TEST_F(MetronomeTest, NewVolumesAreRenderedBeforeTheirFirstClick)
{
    if (access(Platform::SoundFontSynth::Instance().SoundFontFile().c_str(), R_OK) != 0)
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    output.UseNullOutput(true);
    struct Restore {
        ~Restore() { Platform::AudioOutput::Instance().UseNullOutput(false); }
    } restore;
    metronome.UseStandIns({});
    auto settings = Settings();
    settings.SoundEngineType = 0;
    const int note = Core::PercussionTable::Note(settings.Instrument[0]);
    Platform::SoundFontSynth& synth = Platform::SoundFontSynth::Instance();
    // A sound at a rate no output runs at makes the synthesizer render afresh: whatever earlier
    // tests left rendered is forgotten, and only this run's start renders again.
    ASSERT_NE(synth.Prepare(note, 1, 8000.0), nullptr);
    ASSERT_EQ(StartAndSettle(settings), 0);
    const std::uint32_t global = 50;
    const int velocity = static_cast<int>(127.0f * static_cast<float>(global / 100.0));
    ASSERT_EQ(synth.Find(note, velocity, output.SampleRate()), nullptr) << "rendered by the start already";
    std::uint32_t volumes[12];
    std::fill(std::begin(volumes), std::end(volumes), 127u);
    metronome.SetVolumes(volumes, global);
    EXPECT_NE(synth.Find(note, velocity, output.SampleRate()), nullptr) << "velocity " << velocity;
    metronome.Stop();
}

}  // namespace

// ---- Count-in --------------------------------------------------------------------------------

// Before every beat type and timer strategy the count-in plays whole beats of the run's starting
// tempo on the run's own ticks, counts them in the indicator, and the run's first click follows
// one beat after its last; nothing of the run (trainer stages, sequencer sub-steps) starts sooner.
TEST_F(MetronomeTest, CountInPlaysWholeBeatsOnTheRunsGridBeforeEveryBeatType)
{
    using Length = Core::CountIn::Length;
    constexpr std::int32_t SideStick = 37;  // the count-in's default sound
    struct Case {
        const char* what;
        std::function<void(Configuration::ConfigurationData&)> set;
        Core::CountIn countIn;
        int beats;
        double beatMs;            // the beat the count-in keeps
        std::vector<int> counts;  // shown by the indicator (100 + count), then the first beat's voice
    };
    const auto on = [](Length length, int amount) {
        Core::CountIn countIn;
        countIn.length = length;
        countIn.amount = amount;
        return countIn;
    };
    const std::vector<Case> cases = {
        {"simple beat, indicator on, one bar of four",
         [](auto& s) { s.VisualIndicator = 1; },
         on(Length::Bars, 1),
         4,
         500,
         {101, 102, 103, 104, 0}},
        {"three beats a bar with two subdivisions, two bars",
         [](auto& s) {
             s.BeatType = 1;
             s.BeatsPerBar = 3;
             s.Subdivision1 = 2;
             s.VisualIndicator = 1;
         },
         on(Length::Bars, 2),
         6,
         500,
         {101, 102, 103, 101, 102, 103, 0}},
        {"6/8: a bar is two dotted beats",
         [](auto& s) {
             s.BeatType = 1;
             s.BeatsPerBar = 6;
             s.CompoundTime = 1;
         },
         on(Length::Bars, 1),
         2,
         500,
         {}},
        {"custom pattern of five beats, one bar",
         [](auto& s) {
             s.BeatType = 2;
             Platform::Text::Copy(s.CustomPattern, u"3+2");
         },
         on(Length::Bars, 1),
         5,
         500,
         {}},
        {"custom rhythm, three beats at 90 bpm",
         [](auto& s) {
             s.BeatType = 3;
             s.Bpm = 90;
             s.CrSubdivision = 2;
             Platform::Text::Copy(s.CustomRhythm, u"12");
         },
         on(Length::Beats, 3),
         3,
         60000.0 / 90,
         {}},
        {"step sequencer, two beats",
         [](auto& s) {
             s.BeatType = 3;
             s.SpeedTrainer = 5;
             s.CrSubdivision = 2;
             Platform::Text::Copy(s.CustomRhythm, u"12");
         },
         on(Length::Beats, 2),
         2,
         500,
         {}},
        {"speed trainer from 360 bpm, one bar",
         [](auto& s) { s = TrainerSettings(); },
         on(Length::Bars, 1),
         4,
         60000.0 / 360,
         {}},
        {"beats asked beyond eight", [](auto&) {}, on(Length::Beats, 12), 8, 500, {}},
        {"off", [](auto&) {}, on(Length::Off, 2), 0, 500, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        engine.clicks.clear();
        handler.log.clear();
        indicator.shown.clear();
        auto settings = Settings();
        c.set(settings);
        settings.SoundEngineType = 0;  // MIDI: every voice the default row's note, the count-in its own
        metronome.SetCountIn(c.countIn);
        ASSERT_EQ(StartAndSettle(settings), 0);
        // The tick each click falls on, up to the run's first.
        std::vector<int> countInTicks;
        int firstRunTick = -1;
        for (int tick = 0; tick < 2000 && firstRunTick < 0; ++tick) {
            if (tick > 0)
                Advance(1);
            for (std::size_t i = countInTicks.size(); i < engine.clicks.size(); ++i) {
                if (engine.clicks[i].sound != SideStick) {
                    firstRunTick = tick;
                    break;
                }
                countInTicks.push_back(tick);
            }
        }
        const bool sequencer = settings.SpeedTrainer == 5;
        const auto subSteps = std::count(handler.log.begin(), handler.log.end(), "event 8 0");
        metronome.Stop();
        ASSERT_EQ(static_cast<int>(countInTicks.size()), c.beats);
        ASSERT_GE(firstRunTick, 0);
        const double tickMs = static_cast<double>(timer.CountsPerTick()) / Ms;
        int last = -1;
        for (int tick : countInTicks) {
            if (last >= 0) {
                EXPECT_NEAR((tick - last) * tickMs, c.beatMs, 0.01 * (tick - last));
            }
            last = tick;
        }
        if (c.beats > 0) {
            EXPECT_EQ(countInTicks.front(), 0) << "the count-in starts at once";
            EXPECT_NEAR((firstRunTick - last) * tickMs, c.beatMs, 0.01 * (firstRunTick - last));
        } else {
            EXPECT_EQ(firstRunTick, 0);
        }
        ASSERT_GE(indicator.shown.size(), c.counts.size());
        if (!c.counts.empty()) {
            EXPECT_EQ(std::vector<int>(indicator.shown.begin(), indicator.shown.begin() + c.counts.size()), c.counts);
        }
        if (sequencer) {
            EXPECT_EQ(subSteps, 1) << "the cursor starts with the rhythm";
        }
        if (settings.SpeedTrainer == 1) {
            EXPECT_EQ(handler.log.front(), "started 360 0");
        }
    }

    // The trainer's stages are counted from its first click: the run after a count-in is the
    // run without one.
    auto run = [&](Length length) {
        engine.clicks.clear();
        handler.log.clear();
        auto settings = TrainerSettings();
        settings.SoundEngineType = 0;
        metronome.SetCountIn(on(length, 1));
        EXPECT_EQ(StartAndSettle(settings), 0);
        Advance(100000);
        EXPECT_FALSE(metronome.IsRunning());
        Sounds sounds = engine.Sounds();
        sounds.erase(std::remove(sounds.begin(), sounds.end(), 37), sounds.end());
        return std::make_pair(sounds, handler.log);
    };
    EXPECT_EQ(run(Length::Bars), run(Length::Off));
}

// The next settings take over on the running grid: the first click of the new run (its
// count-in's, when one is set) falls where the next bar's first beat would have, one beat of
// the old tempo after the old run's last beat, and its own grid goes on from that frame.
TEST_F(MetronomeTest, ContinuationTakesOverAtTheBarLineOnTheRunningGrid)
{
    using ChangeAt = Core::IMetronome::ChangeAt;
    // Sounds of the next run: 200 + voice.
    const auto next = [](std::uint32_t bpm, std::uint32_t beats) {
        auto settings = Settings();
        settings.BeatType = 1;
        settings.Bpm = bpm;
        settings.BeatsPerBar = beats;
        for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice)
            settings.Instrument[voice] = 200 + static_cast<std::uint32_t>(voice);
        return settings;
    };
    const auto spacings = [&] {
        std::vector<std::int64_t> ms;
        const auto frames = engine.Frames();
        for (std::size_t i = 1; i < frames.size(); ++i)
            ms.push_back(frames[i] - frames[i - 1]);
        return ms;
    };
    constexpr std::int64_t Beat120 = 500 * Ms, Beat90 = 666666667, Beat90Short = 666666666, Beat60 = 1000 * Ms;

    // N while playing: at the next bar line, whatever the beat the key came on.
    auto settings = Settings();
    settings.BeatType = 1;
    ASSERT_EQ(StartAndSettle(settings), 0);
    Advance(1);
    auto waltz = next(90, 3);
    ASSERT_EQ(metronome.Continue(handler, waltz, ChangeAt::BarLine, 7), 0);
    AdvanceToClicks(8);
    EXPECT_EQ(engine.Sounds(), (Sounds{100, 101, 101, 101, 200, 201, 201, 200}));
    EXPECT_EQ(spacings(), (std::vector<std::int64_t>{Beat120, Beat120, Beat120, Beat120, Beat90, Beat90Short, Beat90}));
    EXPECT_EQ(handler.log, (Log{"continued 7 90"}));
    EXPECT_EQ(engine.initialised, 2);
    metronome.Stop();
    EXPECT_EQ(handler.log.back(), "stopped 90") << "the tempo of the run that took over";
    EXPECT_EQ(engine.closed, 1);

    // At the end of the bars the run was limited to, with the count-in in the new tempo; the
    // next run's own limit ends it as before.
    engine.clicks.clear();
    handler.log.clear();
    Core::CountIn countIn;
    countIn.length = Core::CountIn::Length::Beats;
    countIn.amount = 2;
    metronome.SetCountIn(countIn);
    metronome.SetBarLimit(1);
    ASSERT_EQ(StartAndSettle(settings), 0);
    auto slow = next(60, 2);
    metronome.SetBarLimit(1);
    ASSERT_EQ(metronome.Continue(handler, slow, ChangeAt::BarLimit, 8), 0);
    Advance(100000);
    EXPECT_FALSE(metronome.IsRunning());
    metronome.SetCountIn(Core::CountIn{});
    // Count-in sticks (voice 2's sound with audio files), a bar of four, then the same at 60 bpm.
    EXPECT_EQ(engine.Sounds(), (Sounds{101, 101, 100, 101, 101, 101, 201, 201, 200, 201}));
    EXPECT_EQ(
        spacings(),
        (std::vector<std::int64_t>{Beat120, Beat120, Beat120, Beat120, Beat120, Beat120, Beat60, Beat60, Beat60}));
    EXPECT_EQ(handler.log, (Log{"continued 8 60", "event 16 0", "stopped 60"}));
}

// A continuation waits for its bar line and can be replaced or taken back until then; one that
// cannot play leaves the run playing alone; preparing one never disturbs the run it follows.
TEST_F(MetronomeTest, WaitingContinuationsAreReplacedTakenBackOrRefusedWithoutDisturbingThePlayingRun)
{
    using ChangeAt = Core::IMetronome::ChangeAt;
    auto settings = Settings();
    auto other = Settings();
    other.Bpm = 60;
    EXPECT_EQ(metronome.Continue(handler, other, ChangeAt::BarLine, 1), 2) << "nothing plays";

    ASSERT_EQ(StartAndSettle(settings), 0);
    auto bad = Settings();
    bad.BeatType = 4;
    EXPECT_EQ(metronome.Continue(handler, bad, ChangeAt::BarLine, 1), 3);
    auto pattern = Settings();
    pattern.BeatType = 2;
    Platform::Text::Copy(pattern.CustomPattern, u"3++2");
    EXPECT_EQ(metronome.Continue(handler, pattern, ChangeAt::BarLine, 1), 6);
    EXPECT_EQ(engine.closed, 0) << "the engine the run plays on stays open";
    // Waiting for a bar limit the run does not have: ordinary bar lines pass it by.
    ASSERT_EQ(metronome.Continue(handler, other, ChangeAt::BarLimit, 2), 0);
    Advance(9);
    EXPECT_TRUE(handler.log.empty());
    // Replaced, then taken back.
    ASSERT_EQ(metronome.Continue(handler, other, ChangeAt::BarLine, 3), 0);
    auto fast = Settings();
    fast.Bpm = 200;
    ASSERT_EQ(metronome.Continue(handler, fast, ChangeAt::BarLine, 4), 0);
    Advance(4);
    EXPECT_EQ(handler.log, (Log{"continued 4 200"}));
    ASSERT_EQ(metronome.Continue(handler, other, ChangeAt::BarLine, 5), 0);
    metronome.CancelContinuation();
    Advance(8);
    EXPECT_EQ(handler.log, (Log{"continued 4 200"}));
    EXPECT_EQ(timer.CountsPerTick(), 300 * Ms);
    // Stopped while one waits: nothing goes on, and the next start is a plain one.
    ASSERT_EQ(metronome.Continue(handler, other, ChangeAt::BarLine, 6), 0);
    metronome.Stop();
    EXPECT_EQ(handler.log.back(), "stopped 200");
    ASSERT_EQ(StartAndSettle(settings), 0);
    Advance(8);
    EXPECT_EQ(handler.log.back(), "stopped 200");
    metronome.Stop();

    // A trainer prepared to follow a trainer has tempo curves of its own: the one playing runs
    // its stages exactly as alone.
    auto trainer = [&](bool followed) {
        handler.log.clear();
        auto first = TrainerSettings();
        EXPECT_EQ(StartAndSettle(first), 0);
        auto second = TrainerSettings();
        second.Bpm = 200;
        second.From = 0.5f;
        if (followed) {
            EXPECT_EQ(metronome.Continue(handler, second, ChangeAt::BarLimit, 9), 0);
        }
        Advance(100000);
        EXPECT_FALSE(metronome.IsRunning());
        return handler.log;
    };
    EXPECT_EQ(trainer(true), trainer(false));
}

// On the real clock, continuations given, replaced and taken back as fast as the user-interface
// thread can while bar lines pass: each one that takes over does so once, in the order given,
// and never two runs tick (built with ThreadSanitizer, any race shows).
TEST(MetronomeRace, ContinuationsRaceBarLinesWithoutEverTakingOverTwice)
{
    using ChangeAt = Core::IMetronome::ChangeAt;
    Core::Timer timer;
    Core::Metronome metronome(timer);
    Tests::RecordingSoundEngine engine;
    Tests::RecordingHandler handler;
    metronome.UseStandIns({&engine});
    auto settings = Settings();
    settings.Bpm = 400;  // a bar line every 600 ms
    settings.Subdivision1 = 4;
    ASSERT_EQ(metronome.Start(handler, settings), 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
    int tag = 1;
    for (; std::chrono::steady_clock::now() < end; ++tag) {
        auto next = Settings();
        next.Bpm = 390 + static_cast<std::uint32_t>(tag % 10);
        next.Subdivision1 = 4;
        ASSERT_EQ(metronome.Continue(handler, next, ChangeAt::BarLine, tag), 0);
        if (tag % 7 == 0)
            metronome.CancelContinuation();
        metronome.SetTempo(400);
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + 200 * (tag % 13)));
    }
    // On a slow machine (a sanitizer's build) every bar line may find a continuation asked for
    // a moment before it; the last one, left alone for more than a bar, is taken.
    auto last = Settings();
    last.Subdivision1 = 4;
    ASSERT_EQ(metronome.Continue(handler, last, ChangeAt::BarLine, tag), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1400));
    metronome.Stop();
    int latest = 0;
    int taken = 0;
    for (const std::string& line : handler.log) {
        if (line.rfind("continued ", 0) != 0)
            continue;
        const int continued = std::stoi(line.substr(10));
        EXPECT_GT(continued, latest) << line;
        latest = continued;
        ++taken;
    }
    EXPECT_GE(taken, 1) << "four bar lines passed";
    EXPECT_EQ(handler.log.back().rfind("stopped", 0), 0u) << handler.log.back();
}

TEST(CountIn, SettingsComeFromTheSecondFileWithinTheirRanges)
{
    using Length = Core::CountIn::Length;
    EXPECT_EQ(Core::PercussionTable::Note(Core::CountIn::SideStickRow), 37);
    Configuration::ExtraSettings extras("/nonexistent/extras");
    Core::CountIn countIn = Core::CountIn::Read(extras);
    EXPECT_EQ(countIn.length, Length::Off);
    EXPECT_EQ(countIn.instrument, Core::CountIn::SideStickRow);

    countIn.length = Length::Beats;
    countIn.amount = 7;
    countIn.instrument = 5;
    countIn.Write(extras);
    const Core::CountIn back = Core::CountIn::Read(extras);
    EXPECT_EQ(back.length, Length::Beats);
    EXPECT_EQ(back.amount, 7);
    EXPECT_EQ(back.instrument, 5u);

    // Seven is a number of beats, not of bars; a mode or row from a newer copy is no count-in.
    extras.SetNumber("countin.length", 1);
    EXPECT_EQ(Core::CountIn::Read(extras).amount, 1);
    extras.SetNumber("countin.length", 3);
    extras.SetNumber("countin.instrument", 47);
    EXPECT_EQ(Core::CountIn::Read(extras).length, Length::Off);
    EXPECT_EQ(Core::CountIn::Read(extras).instrument, Core::CountIn::SideStickRow);
}
