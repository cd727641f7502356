#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/CountIn.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/ISoundEngine.h"
#include "Core/Metronome.h"
#include "Core/PercussionTable.h"
#include "Core/SongTimerStrategy.h"
#include "Core/SoundEngines.h"
#include "Platform/AudioOutput.h"
#include "Platform/MultimediaResult.h"
#include "Platform/SoundFontSynth.h"
#include "Support/InstrumentClicks.h"
#include "Support/SoundCapture.h"

namespace {

using Tests::FindHits;
using Tests::Hit;
using Tests::RowOf;

constexpr int AccentNote = 75;  // "Claves"
constexpr int BeatNote = 76;    // "Hi Wood Block"
constexpr int Velocity = 127;   // volume 127 at 100 %

// One channel of a note as the synthesizer renders it, the way it reaches the sound server.
std::vector<float> Template(int note, double rate)
{
    return Tests::Template(note, Velocity, rate);
}

// Events arrive on the timer thread as well as this one.
class Handler final : public Core::IMetronomeEventHandler {
public:
    void OnSpeedTrainerStarted(std::int32_t tempo, bool) override { Add("started " + std::to_string(tempo)); }
    void OnTimerEvent(std::int32_t events, std::int32_t tempo, Core::Moment) override
    {
        if (events & TempoChanged)
            Add("tempo " + std::to_string(tempo));
    }
    void OnStopped(std::int32_t tempo) override { Add("stopped " + std::to_string(tempo)); }
    void OnError(std::int32_t messageId) override { Add("error " + std::to_string(messageId)); }
    std::vector<std::string> Log()
    {
        std::lock_guard lock(_mutex);
        return _log;
    }

private:
    void Add(std::string line)
    {
        std::lock_guard lock(_mutex);
        _log.push_back(std::move(line));
    }
    std::mutex _mutex;
    std::vector<std::string> _log;
};

// The MIDI engine's metronome, recorded from the sound server. Its clicks land on the output's
// frames from the first one, so nothing needs to settle first. A recording the server or the
// machine spoiled (an underflow, a dropout that moved clicks) is made again.
class MetronomeEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Tests::SoundServerAvailable())
            GTEST_SKIP() << "no sound server can be reached";
        // Clicks are recorded and matched at the rate the output plays at (the server's), so
        // that no resampling smears their onsets.
        if (output.Acquire() == Platform::MmNoError) {
            rate = output.SampleRate();
            output.Release();
        }
    }
    void TearDown() override
    {
        if (Core::Metronome::Instance().IsRunning())
            Core::Metronome::Instance().Stop();
    }
    // Records what `play` plays, and finds the hits of `templates` in it.
    std::vector<Hit> Record(const std::function<void()>& play, const std::vector<std::vector<float>>& templates)
    {
        Tests::MonitorRecorder recorder(static_cast<int>(rate));
        EXPECT_TRUE(recorder.Recording());
        recorder.WaitUntilRecording();
        underflows = output.Underflows();
        play();
        std::this_thread::sleep_for(std::chrono::milliseconds(800));  // the last click is heard
        return FindHits(recorder.Stop(), templates);
    }
    bool NoUnderflow() const { return output.Underflows() == underflows; }
    // Whether the program's metronome stops by itself within `limit`.
    static bool EndsWithin(std::chrono::seconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (Core::Metronome::Instance().IsRunning() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return !Core::Metronome::Instance().IsRunning();
    }
    // Plays `settings` on the program's metronome for `play` while recording; the hits must be
    // the templates `expected` (by number, in order), each one alone, on one frame grid of
    // `period` frames. A recording spoiled by the sound server (off the grid, an underflow) is
    // made again, up to three times.
    void ExpectOnTheGrid(const char* what, Configuration::ConfigurationData settings, std::chrono::milliseconds play,
                         const std::vector<std::vector<float>>& templates, const std::vector<int>& expected,
                         double period)
    {
        Core::Metronome& metronome = Core::Metronome::Instance();
        std::string detail;
        bool exact = false;
        for (int attempt = 0; attempt < Tests::Recordings && !exact; ++attempt) {
            Handler run;
            const std::vector<Hit> hits = Record(
                [&] {
                    ASSERT_EQ(metronome.Start(run, settings), 0);
                    std::this_thread::sleep_for(play);
                    metronome.Stop();
                },
                templates);
            EXPECT_EQ(run.Log(), (std::vector<std::string>{"stopped " + std::to_string(settings.Bpm)}));
            // A click lost to a server that fell behind spoils the recording as an underflow does.
            if (hits.size() != expected.size()) {
                detail = std::to_string(hits.size()) + " of " + std::to_string(expected.size()) + " clicks heard";
                std::printf("%s: clicks lost, recorded again: %s; %s\n", what, detail.c_str(), Diagnostics().c_str());
                continue;
            }
            std::vector<long> onsets;
            for (std::size_t i = 0; i < hits.size(); ++i) {
                EXPECT_EQ(hits[i].sound, expected[i]) << "click " << i;
                // What is left after taking the click away is far less than the other sound leaves.
                EXPECT_LT(hits[i].leftOver, 0.1) << "click " << i;
                onsets.push_back(hits[i].onset);
            }
            exact = Tests::OnTheFrameGrid(onsets, period, detail) && NoUnderflow();
            std::printf("%s: %s%s; %s\n", what,
                        exact ? "" : "off the frame grid or an underflow, recorded again: ", detail.c_str(),
                        Diagnostics().c_str());
        }
        EXPECT_TRUE(exact) << detail << "; " << Diagnostics();
    }
    Configuration::ConfigurationData Settings()
    {
        Configuration::ConfigurationData settings;
        settings.SoundEngineType = Core::SoundEngines::Midi;
        settings.VisualIndicator = 0;
        settings.Instrument[0] = RowOf(AccentNote);
        for (int voice = 1; voice < Configuration::ConfigurationData::NumVoices; ++voice)
            settings.Instrument[voice] = RowOf(BeatNote);
        return settings;
    }
    std::string Diagnostics()
    {
        return "late events " + std::to_string(output.GetMixer().LateEvents()) + ", dropped " +
            std::to_string(output.GetMixer().DroppedEvents()) + ", underflows " + std::to_string(output.Underflows());
    }

    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    // Plays one song, or two one after the other (the second handed over while the first plays),
    // and expects every click within a sample of its frame on their tempo curves, counted from
    // the first click, the accent's sound on each bar's first beat.
    void ExpectSongsOnTheirCurves(const std::vector<Configuration::Song>& songs)
    {
        std::vector<double> exact;  // frames from the first click
        std::vector<int> sounds;    // the accent's template, or the other beats'
        double start = 0;
        for (const Configuration::Song& song : songs) {
            for (const auto& s : song.sections) {
                const int beats = s.BeatsPerBar();
                for (int beat = 0; beat < s.bars * beats; ++beat) {
                    exact.push_back((start + Core::SongTimerStrategy::OffsetMs(s, beat)) * rate / 1000);
                    sounds.push_back(beat % beats == 0 ? 0 : 1);
                }
                start += Core::SongTimerStrategy::OffsetMs(s, static_cast<double>(s.bars) * beats);
            }
        }
        Core::Metronome& metronome = Core::Metronome::Instance();
        std::string detail;
        bool exactly = false;
        for (int attempt = 0; attempt < Tests::Recordings && !exactly; ++attempt) {
            Handler run;
            const std::vector<Hit> hits = Record(
                [&] {
                    auto settings = Settings();
                    metronome.SetSong(&songs.front());
                    ASSERT_EQ(metronome.Start(run, settings), 0);
                    if (songs.size() > 1) {
                        // It waits while the first plays, and takes over at its end.
                        metronome.SetSong(&songs[1]);
                        ASSERT_EQ(metronome.Continue(run, settings, Core::IMetronome::ChangeAt::BarLimit, 1), 0);
                    }
                    ASSERT_TRUE(EndsWithin(std::chrono::seconds(30))) << "the songs end by themselves";
                },
                {Template(AccentNote, rate), Template(BeatNote, rate)});
            if (hits.size() != exact.size()) {
                detail = std::to_string(hits.size()) + " of " + std::to_string(exact.size()) + " clicks heard";
                std::printf("songs: recorded again: %s; %s\n", detail.c_str(), Diagnostics().c_str());
                continue;
            }
            exactly = NoUnderflow();
            double worst = 0;
            for (std::size_t i = 0; i < hits.size(); ++i) {
                EXPECT_EQ(hits[i].sound, sounds[i]) << "click " << i;
                worst = std::max(worst, std::fabs(static_cast<double>(hits[i].onset - hits[0].onset) - exact[i]));
            }
            exactly = exactly && worst <= 1.0;
            detail = "largest distance from the curve " + std::to_string(worst) + " samples";
            std::printf("songs (%zu): %s; %s\n", songs.size(), detail.c_str(), Diagnostics().c_str());
        }
        EXPECT_TRUE(exactly) << detail << "; " << Diagnostics();
    }

    double rate = Platform::AudioOutput::PreferredRate;
    std::int64_t underflows = 0;
    Handler handler;
};

TEST_F(MetronomeEndToEnd, BarsOfFourAt120BpmForFourSecondsSoundOnTheirFramesWithTheAccentOnEachBar)
{
    auto settings = Settings();
    settings.BeatType = 1;
    settings.BeatsPerBar = 4;
    settings.Bpm = 120;
    // The ninth beat would be due at 4 s, handed over a lead of some tens of milliseconds before.
    ExpectOnTheGrid("120 bpm", settings, std::chrono::milliseconds(3800),
                    {Template(AccentNote, rate), Template(BeatNote, rate)}, {0, 1, 1, 1, 0, 1, 1, 1}, 0.5 * rate);
}

// A one-bar count-in before bars of three: three side sticks, then the run's accent one beat
// after the last of them, every click on one frame grid.
TEST_F(MetronomeEndToEnd, CountInPlaysItsBarOnTheRunsFrameGridOneBeatBeforeTheRun)
{
    auto settings = Settings();
    settings.BeatType = 1;
    settings.BeatsPerBar = 3;
    settings.Bpm = 120;
    Core::CountIn countIn;
    countIn.length = Core::CountIn::Length::Bars;
    countIn.volume = Velocity;
    const int sideStick = Core::PercussionTable::Note(countIn.instrument);
    Core::Metronome::Instance().SetCountIn(countIn);
    struct NoCountInAfter {
        ~NoCountInAfter() { Core::Metronome::Instance().SetCountIn(Core::CountIn{}); }
    } noCountInAfter;
    // The count-in's three beats and the run's first three.
    ExpectOnTheGrid("count-in", settings, std::chrono::milliseconds(2800),
                    {Template(sideStick, rate), Template(AccentNote, rate), Template(BeatNote, rate)},
                    {0, 0, 0, 1, 2, 2}, 0.5 * rate);
}

// Each stage's first beat comes one new interval after the click that changed the tempo, and the
// stage's beats follow on its own frame grid.
TEST_F(MetronomeEndToEnd, SpeedTrainerStagesChangeTheSpacingAsTheCurveSays)
{
    auto settings = Settings();
    settings.BeatType = 0;  // every beat the same sound
    settings.Bpm = 240;
    settings.SpeedTrainer = 1;
    settings.From = 0.5f;  // 120 to 240 bpm in steps of 30
    settings.To = 1.0f;
    settings.Step = 0.25f;
    settings.DurationsInBars = 1;
    settings.Duration = 1.0f;  // one bar of four beats a stage
    settings.Warmup = 0.0f;
    settings.Warmdown = 0.0f;
    settings.Beep = 0;
    Core::Metronome& metronome = Core::Metronome::Instance();
    const double stages[] = {120, 150, 180, 210, 240};
    std::string detail;
    bool exact = false;
    for (int attempt = 0; attempt < Tests::Recordings && !exact; ++attempt) {
        Handler run;
        const std::vector<Hit> hits = Record(
            [&] {
                auto copy = settings;
                ASSERT_EQ(metronome.Start(run, copy), 0);
                ASSERT_TRUE(EndsWithin(std::chrono::seconds(20))) << "the run ends by itself";
            },
            {Template(AccentNote, rate)});
        EXPECT_EQ(run.Log(),
                  (std::vector<std::string>{"started 120", "tempo 150", "tempo 180", "tempo 210", "tempo 240",
                                            "stopped 240"}));
        ASSERT_GE(hits.size(), 20u) << Diagnostics();
        exact = NoUnderflow();
        detail.clear();
        for (std::size_t stage = 0; stage < 5; ++stage) {
            // The stage's beats, from the click that changed the tempo (the first of its bar) on.
            const std::size_t first = stage * 4;
            const std::size_t last = stage < 4 ? stage * 4 + 4 : hits.size() - 1;
            std::vector<long> onsets;
            for (std::size_t i = first; i <= last; ++i)
                onsets.push_back(hits[i].onset);
            std::string stageDetail;
            exact = Tests::OnTheFrameGrid(onsets, 60.0 / stages[stage] * rate, stageDetail) && exact;
            detail += std::to_string(static_cast<int>(stages[stage])) + " bpm " + stageDetail + "; ";
        }
        if (!exact)
            std::printf("trainer: off the frame grid or an underflow, recorded again: %s%s\n", detail.c_str(),
                        Diagnostics().c_str());
    }
    EXPECT_TRUE(exact) << detail << Diagnostics();
}

TEST_F(MetronomeEndToEnd, TrainerBeepsSoundWithTheBeatsWhenStagesEndBetweenThem)
{
    auto settings = Settings();  // beats sound the accent note, the beep (sound 6) the other
    settings.BeatType = 0;
    settings.Bpm = 240;
    settings.SpeedTrainer = 1;
    settings.From = 0.5f;  // 120, 180, 240 bpm
    settings.To = 1.0f;
    settings.Step = 0.5f;
    settings.Duration = 0.05f;  // 3 s in all: each stage ends a timer tick before a beat
    settings.Warmup = 0.0f;
    settings.Warmdown = 0.0f;
    settings.Beep = 1;
    Core::Metronome& metronome = Core::Metronome::Instance();
    const std::vector<Hit> hits = Record(
        [&] {
            ASSERT_EQ(metronome.Start(handler, settings), 0);
            ASSERT_TRUE(EndsWithin(std::chrono::seconds(10))) << "the run ends by itself";
        },
        {Template(AccentNote, rate), Template(BeatNote, rate)});
    std::vector<long> beats;
    std::vector<long> beeps;
    for (const Hit& hit : hits)
        (hit.sound == 0 ? beats : beeps).push_back(hit.onset);
    ASSERT_EQ(beeps.size(), 2u) << Diagnostics();
    for (long beep : beeps) {
        long nearest = 1L << 40;
        for (long beat : beats)
            nearest = std::min(nearest, std::labs(beat - beep));
        std::printf("beep %ld samples from the nearest beat\n", nearest);
        EXPECT_LE(nearest, 1) << "beep at " << beep << "; " << Diagnostics();
    }
}

// The next settings take over from the run playing without a gap: the new run's first click
// (its count-in's) falls one beat of the old tempo after the old run's last, exactly on the
// old grid's frame, and the new grid goes on from there. After the bars the run was limited
// to, and at the next bar line when asked in the middle of a beat.
TEST_F(MetronomeEndToEnd, NextSettingsTakeOverOnTheFrameGridOfTheRunPlaying)
{
    Core::Metronome& metronome = Core::Metronome::Instance();
    Core::CountIn countIn;
    countIn.length = Core::CountIn::Length::Beats;
    countIn.amount = 2;
    countIn.volume = Velocity;
    const int sideStick = Core::PercussionTable::Note(countIn.instrument);
    struct NoCountInAfter {
        ~NoCountInAfter() { Core::Metronome::Instance().SetCountIn(Core::CountIn{}); }
    } noCountInAfter;
    const std::vector<std::vector<float>> templates = {Template(AccentNote, rate), Template(BeatNote, rate),
                                                       Template(sideStick, rate)};
    // The next run sounds its accent with the other note, so that every click tells its run.
    auto next = Settings();
    next.BeatType = 1;
    next.BeatsPerBar = 3;
    next.Instrument[0] = RowOf(BeatNote);
    for (int voice = 1; voice < Configuration::ConfigurationData::NumVoices; ++voice)
        next.Instrument[voice] = RowOf(AccentNote);
    auto first = Settings();
    first.BeatType = 1;
    first.BeatsPerBar = 4;

    struct Case {
        const char* what;
        std::uint32_t bpm, nextBpm;
        Core::IMetronome::ChangeAt at;
        bool countIn;
        std::vector<int> expected;
    };
    using ChangeAt = Core::IMetronome::ChangeAt;
    const Case cases[] = {
        {"after a bar, counted in", 90, 120, ChangeAt::BarLimit, true, {0, 1, 1, 1, 2, 2, 1, 0, 0}},
        {"at the bar line after the middle of a beat", 120, 90, ChangeAt::BarLine, false, {0, 1, 1, 1, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const double oldBeat = 60.0 / c.bpm * rate, newBeat = 60.0 / c.nextBpm * rate;
        std::string detail;
        bool exact = false;
        for (int attempt = 0; attempt < Tests::Recordings && !exact; ++attempt) {
            Handler run;
            const std::vector<Hit> hits = Record(
                [&] {
                    auto settings = first;
                    settings.Bpm = c.bpm;
                    auto following = next;
                    following.Bpm = c.nextBpm;
                    metronome.SetCountIn(Core::CountIn{});
                    // Asked for the bar line, the first run would play on for ever.
                    metronome.SetBarLimit(c.at == ChangeAt::BarLimit ? 1 : 0);
                    ASSERT_EQ(metronome.Start(run, settings), 0);
                    if (c.at == ChangeAt::BarLine) {
                        // Asked after the third beat's click, mid-beat: the bar line is the fifth beat.
                        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
                    }
                    if (c.countIn)
                        metronome.SetCountIn(countIn);
                    metronome.SetBarLimit(1);
                    ASSERT_EQ(metronome.Continue(run, following, c.at, 5), 0);
                    ASSERT_TRUE(EndsWithin(std::chrono::seconds(20))) << "the next run ends after its bar";
                },
                templates);
            EXPECT_EQ(run.Log(), (std::vector<std::string>{"stopped " + std::to_string(c.nextBpm)}));
            std::vector<int> sounds;
            for (const Hit& hit : hits)
                sounds.push_back(hit.sound);
            if (sounds != c.expected) {
                detail = std::to_string(hits.size()) + " clicks heard";
                std::printf("%s: clicks lost or wrong, recorded again: %s; %s\n", c.what, detail.c_str(),
                            Diagnostics().c_str());
                continue;
            }
            // The old run's clicks and the new run's first on the old grid; the new run's on its own.
            std::vector<long> before, after;
            for (std::size_t i = 0; i < hits.size(); ++i) {
                if (i <= 4)
                    before.push_back(hits[i].onset);
                if (i >= 4)
                    after.push_back(hits[i].onset);
            }
            std::string oldDetail, newDetail;
            exact = Tests::OnTheFrameGrid(before, oldBeat, oldDetail);
            exact = Tests::OnTheFrameGrid(after, newBeat, newDetail) && exact && NoUnderflow();
            detail = "old run and changeover " + oldDetail + "; new run " + newDetail;
            std::printf("%s: %s%s; %s\n", c.what,
                        exact ? "" : "off the frame grid or an underflow, recorded again: ", detail.c_str(),
                        Diagnostics().c_str());
        }
        EXPECT_TRUE(exact) << detail << "; " << Diagnostics();
    }
}

// Dragging the tempo slider sends a stream of changes: each next click still comes one new
// interval after the last one, so the changes never hold the beat back (restarting the interval
// at every change would leave seconds of silence).
TEST_F(MetronomeEndToEnd, AStreamOfTempoChangesNeverHoldsTheBeatBack)
{
    auto settings = Settings();
    settings.BeatType = 0;
    settings.Bpm = 60;
    Core::Metronome& metronome = Core::Metronome::Instance();
    const std::vector<Hit> hits = Record(
        [&] {
            ASSERT_EQ(metronome.Start(handler, settings), 0);
            // From 60 to 240 bpm in 3 s, a change every 30 ms, as a dragged slider gives them.
            for (int step = 0; step <= 100; ++step) {
                metronome.SetTempo(60 + step * 180 / 100);
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            }
            metronome.Stop();
        },
        {Template(AccentNote, rate)});
    ASSERT_GE(hits.size(), 6u) << Diagnostics();
    long longest = 0;
    for (std::size_t i = 1; i < hits.size(); ++i)
        longest = std::max(longest, hits[i].onset - hits[i - 1].onset);
    // No gap longer than the slowest interval of the drag (one second at 60 bpm).
    EXPECT_LE(longest, static_cast<long>(rate) + 1) << Diagnostics();
}

Configuration::SongSection SongSection(int bars, std::vector<std::int32_t> groups, int unit, double tempo,
                                       double endTempo)
{
    Configuration::SongSection s;
    s.bars = bars;
    s.groups = std::move(groups);
    s.unit = unit;
    s.tempo = tempo;
    s.endTempo = endTempo;
    s.subdivision = s.subdivision2 = 0;
    return s;
}

// A song of four sections (steady, a ramp from 120 to 100, 7/8 grouped 2+2+3, a bar of 2/4)
// from the sound server: every click within a sample of its frame on the tempo curve, counted
// from the first, with no gap at the boundaries.
TEST_F(MetronomeEndToEnd, ASongsSectionsSoundOnTheFramesOfTheirTempoCurve)
{
    Configuration::Song song;
    song.sections = {SongSection(1, {4}, 4, 150, 150), SongSection(2, {4}, 4, 120, 100),
                     SongSection(1, {2, 2, 3}, 8, 240, 240), SongSection(1, {2}, 4, 100, 100)};
    ExpectSongsOnTheirCurves({song});
}

// Songs back to back in a setlist: the second, handed over while the first plays, takes over at
// its end, one beat of its last tempo after its last click, as a section follows a section.
TEST_F(MetronomeEndToEnd, ASongThatGoesOnFromAnotherStartsOneBeatAfterItsLastClick)
{
    Configuration::Song first;
    first.sections = {SongSection(1, {4}, 4, 150, 150), SongSection(1, {4}, 4, 150, 110)};
    Configuration::Song second;
    second.sections = {SongSection(1, {3}, 4, 90, 90), SongSection(1, {2, 3}, 8, 200, 200)};
    ExpectSongsOnTheirCurves({first, second});
}

}  // namespace
