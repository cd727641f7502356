#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Configuration/Song.h"
#include "Core/CountIn.h"
#include "Core/IBeatFlash.h"
#include "Core/Metronome.h"
#include "Core/SongMidiFile.h"
#include "Core/SongTimerStrategy.h"
#include "Core/TempoMap.h"
#include "Core/Timer.h"
#include "EngineFakes.h"

namespace {

using Configuration::BeatLevel;
using Configuration::Song;
using Configuration::SongSection;

constexpr double Rate = 48000;

// An output's frame counter that runs as fast as the timer asks: waiting and sleeping jump to
// where the worker waits for, so a whole song plays in a moment, every tick on its due frame.
class RunningFrameClock final : public Core::Timer::IClock {
public:
    std::int64_t Now() override { return ++_frame; }
    double Frequency() override { return Rate; }
    void Wait(Platform::AutoResetEvent& event, int milliseconds) override
    {
        event.Wait(0);
        _frame += static_cast<std::int64_t>(milliseconds * Rate / 1000);
    }
    void SleepUntil(std::int64_t deadline) override { _frame = std::max(_frame, deadline); }
    Platform::OutputFrame FrameOf(std::int64_t due) override { return due; }
    Core::Moment HeardAt(std::int64_t) override { return Core::Moment(); }
    bool RealTime() override { return false; }

private:
    std::int64_t _frame = 1000;  // the worker's alone
};

// The same frame counter, held at a frame the test chooses: the worker parks there (waiting on
// its wake event, so that a pause or a stop ends it) until the test moves the gate on.
class GatedFrameClock final : public Core::Timer::IClock {
public:
    std::int64_t Now() override { return ++_frame; }
    double Frequency() override { return Rate; }
    void Wait(Platform::AutoResetEvent& event, int milliseconds) override
    {
        _frame += static_cast<std::int64_t>(milliseconds * Rate / 1000);
        while (_frame >= gate.load()) {
            parked.store(true);
            if (event.Wait(1))
                return;
        }
        event.Wait(0);
    }
    void SleepUntil(std::int64_t deadline) override { _frame = std::max(_frame, deadline); }
    Platform::OutputFrame FrameOf(std::int64_t due) override { return due; }
    Core::Moment HeardAt(std::int64_t) override { return Core::Moment(); }
    bool RealTime() override { return false; }

    // While no worker runs: time passes.
    void Skip(std::int64_t frames) { _frame += frames; }
    // Lets the worker run up to `frame`.
    void Open(std::int64_t frame)
    {
        parked.store(false);
        gate.store(frame);
    }
    // Waits until the worker parks at the gate.
    void WaitParked()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!parked.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(parked.load()) << "the timer's worker hangs";
    }

    std::atomic<std::int64_t> gate{0};
    std::atomic<bool> parked{false};

private:
    std::int64_t _frame = 1000;  // the worker's alone
};

SongSection Section(const char* label, int bars, std::vector<std::int32_t> groups, double tempo, double endTempo)
{
    SongSection section;
    section.label = label;
    section.bars = bars;
    section.groups = std::move(groups);
    section.tempo = tempo;
    section.endTempo = endTempo;
    section.subdivision = 0;
    section.subdivision2 = 0;
    return section;
}

// A steady intro, a ramp from 120 to 100 over 8 bars, a bar of 7/8 as 2+2+3 and a bar of 2/4.
Song FourSections()
{
    Song song;
    song.name = "Four";
    song.sections = {Section("intro", 2, {4}, 96, 96), Section("bridge", 8, {4}, 120, 100),
                     Section("verse", 1, {2, 2, 3}, 210, 210), Section("turn", 1, {2}, 100, 100)};
    song.sections[2].unit = 8;
    return song;
}

// Seconds from a section's start to its beat x, written out from the tempo curve: 60 / T beats
// per second integrated over T(u) = t0 + (t1 - t0) u / n.
long double CurveSeconds(long double t0, long double t1, long double n, long double x)
{
    if (t0 == t1)
        return 60 * x / t0;
    return 60 * n / (t1 - t0) * std::log((t0 + (t1 - t0) * x / n) / t0);
}

// The frames of every beat of `song` from its first, and the sound each plays (100 + voice);
// `silent(bar)`, counted over the whole song, leaves bars out as well.
struct Expected {
    std::vector<std::int64_t> frames;
    std::vector<std::int32_t> sounds;
};
Expected Beats(const Song& song, bool (*silent)(int bar) = nullptr)
{
    Expected expected;
    long double start = 0;
    int songBar = 0;
    for (const SongSection& section : song.sections) {
        const int perBar = section.BeatsPerBar();
        const long double n = static_cast<long double>(section.bars) * perBar;
        for (int bar = 0; bar < section.bars; ++bar, ++songBar) {
            for (int beat = 0; beat < perBar; ++beat) {
                const BeatLevel level = section.Level(beat);
                if (section.Muted(bar) || level == BeatLevel::Silent || (silent != nullptr && silent(songBar)))
                    continue;
                const long double at = start + CurveSeconds(section.tempo, section.endTempo, n, bar * perBar + beat);
                expected.frames.push_back(std::llround(at * Rate));
                expected.sounds.push_back(100 + static_cast<int>(level));
            }
        }
        start += CurveSeconds(section.tempo, section.endTempo, n, n);
    }
    return expected;
}

class SongTest : public ::testing::Test {
protected:
    SongTest() { metronome.UseStandIns({&engine}); }
    ~SongTest() override
    {
        timer.Stop();
        timer.Join();
    }
    Configuration::ConfigurationData Settings() const
    {
        Configuration::ConfigurationData settings;
        settings.SoundEngineType = 1;  // audio files: voice v sounds as 100 + v
        for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice)
            settings.Instrument[voice] = 100 + static_cast<std::uint32_t>(voice);
        settings.VisualIndicator = 0;
        return settings;
    }
    // Plays `song` to its end; the frames of its clicks from the first.
    std::vector<std::int64_t> Play(const Song& song, Configuration::ConfigurationData settings)
    {
        metronome.SetSong(&song);
        EXPECT_EQ(metronome.Start(handler, settings), Core::Metronome::Playing);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (timer.IsRunning() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_FALSE(timer.IsRunning()) << "the song does not end by itself";
        timer.Join();
        std::vector<std::int64_t> frames = engine.Frames();
        for (std::int64_t& frame : frames)
            frame -= engine.clicks.front().frame;
        return frames;
    }

    RunningFrameClock clock;
    Core::Timer timer{&clock};
    Core::Metronome metronome{timer};
    Tests::RecordingSoundEngine engine;
    Tests::RecordingHandler handler;
};

TEST_F(SongTest, EveryClickOfFourSectionsFallsOnItsFrameOfTheTempoCurve)
{
    const Song song = FourSections();
    const Expected expected = Beats(song);
    const std::vector<std::int64_t> frames = Play(song, Settings());
    ASSERT_EQ(frames.size(), expected.frames.size());
    EXPECT_EQ(frames, expected.frames);
    const std::vector<std::int32_t> sounds = engine.Sounds();
    EXPECT_EQ(sounds, expected.sounds);
    // 7/8 grouped 2+2+3: the accent, then a normal beat opening each later group.
    const std::vector<std::int32_t> verse(sounds.begin() + 40, sounds.begin() + 47);
    EXPECT_EQ(verse, (std::vector<std::int32_t>{100, 102, 101, 102, 101, 102, 102}));
    // Each bar is reported as it begins, with the tempo heard there; the run ends by itself.
    EXPECT_EQ(std::count(handler.log.begin(), handler.log.end(), "event 32 120"), 1);
    EXPECT_EQ(std::count(handler.log.begin(), handler.log.end(), "event 32 210"), 1);
    EXPECT_EQ(handler.log.back(), "stopped 120");
    const auto heard = metronome.SongHeard();
    EXPECT_EQ(heard.section, 3);
    EXPECT_EQ(heard.bar, 0);
}

TEST_F(SongTest, TheCountInPlaysOnceBeforeTheSongOnItsFirstTempo)
{
    Core::CountIn countIn;
    countIn.length = Core::CountIn::Length::Bars;
    metronome.SetCountIn(countIn);
    const Song song = FourSections();
    const Expected expected = Beats(song);
    std::vector<std::int64_t> frames = Play(song, Settings());
    ASSERT_EQ(frames.size(), expected.frames.size() + 4);
    // Four beats at 96 bpm (30000 frames), the song's first click one beat after the last.
    EXPECT_EQ(std::vector<std::int64_t>(frames.begin(), frames.begin() + 5),
              (std::vector<std::int64_t>{0, 30000, 60000, 90000, 120000}));
    frames.erase(frames.begin(), frames.begin() + 4);
    for (std::int64_t& frame : frames)
        frame -= 120000;
    EXPECT_EQ(frames, expected.frames);
}

TEST_F(SongTest, SubdivisionsAccentsAndMutedBarsFollowTheCurveToo)
{
    Song song;
    song.sections = {Section("ramp", 4, {3}, 90, 150)};
    SongSection& ramp = song.sections[0];
    ramp.subdivision = 2;
    ramp.accents = {BeatLevel::Accent, BeatLevel::Silent, BeatLevel::Soft};
    ramp.playBars = 1;
    ramp.muteBars = 1;
    ramp.volume = 50;
    auto settings = Settings();
    settings.Volume[0] = 100;
    settings.GlobalVolume = 100;
    const std::vector<std::int64_t> frames = Play(song, settings);

    // Bars 0 and 2 play; in them, every half beat but the silent beat's own click.
    std::vector<std::int64_t> expected;
    for (int bar : {0, 2}) {
        for (int half = 0; half < 6; ++half) {
            if (half == 2)
                continue;
            const long double at = CurveSeconds(90, 150, 12, bar * 3 + half / 2.0L);
            expected.push_back(std::llround(at * Rate));
        }
    }
    for (std::int64_t& frame : expected)
        frame -= expected.front();
    EXPECT_EQ(frames, expected);
    EXPECT_EQ(engine.clicks.front().volume, 50) << "the section's volume scales the voice's";
}

// Every other two bars left silent, counted over the song through its changes of tempo and
// meter: those bars sound nothing and are still shown, marked silent; the others play as ever.
TEST_F(SongTest, MutedBarsOfTheRunAreSilentThroughTempoAndMeterChanges)
{
    struct Flash final : Core::IBeatFlash {
        void Pulse(const Core::BeatPulse& pulse) noexcept override
        {
            if (pulse.beat == 0)
                silentBars.push_back(pulse.silent);
        }
        std::vector<bool> silentBars;
    } flash;
    Song song = FourSections();
    song.sections[3].bars = 3;  // bars 10 (7/8) and 11 (2/4) silent, 12 and 13 play again
    const auto silent = [](int bar) { return bar % 4 >= 2; };
    metronome.SetBeatFlash(&flash);
    metronome.SetMutedBars(2, 2);
    const std::vector<std::int64_t> frames = Play(song, Settings());
    EXPECT_EQ(frames, Beats(song, silent).frames);
    ASSERT_EQ(flash.silentBars.size(), 14u);
    for (int bar = 0; bar < 14; ++bar)
        EXPECT_EQ(flash.silentBars[static_cast<std::size_t>(bar)], silent(bar)) << "bar " << bar;

    // Taken off, the next run plays every bar.
    metronome.SetMutedBars(0, 0);
    engine.clicks.clear();
    EXPECT_EQ(Play(song, Settings()), Beats(song).frames);
}

// A metronome on a clock the test opens up to a frame at a time, playing into a recording engine.
class GatedSong : public ::testing::Test {
protected:
    GatedSong()
    {
        metronome.UseStandIns({&engine});
        settings.SoundEngineType = 1;
        settings.VisualIndicator = 0;
    }
    GatedFrameClock clock;
    Tests::RecordingSoundEngine engine;
    Tests::RecordingHandler handler;
    Core::Timer timer{&clock};
    Core::Metronome metronome{timer};
    Configuration::ConfigurationData settings;
};

TEST_F(GatedSong, AResumedRampGoesOnWithTheSpacingOfItsCurve)
{
    Song song;
    song.sections = {Section("ramp", 4, {4}, 90, 150), Section("on", SongSection::Endless, {4}, 150, 150)};
    metronome.SetSong(&song);
    clock.Open(1000 + 5 * 48000);  // into the ramp's third bar
    ASSERT_EQ(metronome.Start(handler, settings), Core::Metronome::Playing);
    clock.WaitParked();
    metronome.TogglePause();
    clock.Skip(60 * 48000);
    const std::size_t beforePause = engine.clicks.size();
    clock.Open(1000 + 75 * 48000);
    metronome.TogglePause();
    clock.WaitParked();
    metronome.Stop();

    // Beat k of the song lies at ms(k) from its first; the run after the pause keeps the spacing.
    const auto ms = [&](std::size_t k) {
        const double beat = static_cast<double>(k);
        return beat < 16 ? Core::SongTimerStrategy::OffsetMs(song.sections[0], beat)
                         : Core::SongTimerStrategy::OffsetMs(song.sections[0], 16) +
                Core::SongTimerStrategy::OffsetMs(song.sections[1], beat - 16);
    };
    const std::vector<std::int64_t> frames = engine.Frames();
    ASSERT_GT(beforePause, 3u);
    ASSERT_GT(frames.size(), beforePause + 12);
    EXPECT_GT(frames[beforePause] - frames[beforePause - 1], 50 * 48000) << "the pause lasted";
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const std::size_t from = k < beforePause ? 0 : beforePause;
        const double origin = static_cast<double>(frames[from]) - ms(from) * Rate / 1000;
        EXPECT_EQ(frames[k], std::llround(origin + ms(k) * Rate / 1000)) << "click " << k;
    }
}

// A setlist of songs: the second, handed over while the first plays, takes over at the first's
// end on the same frame grid, its own positions counted from there.
TEST_F(GatedSong, TheNextSongsFirstClickIsOneBeatOfTheOldTempoAfterTheLastClick)
{
    Song first;
    first.sections = {Section("ramp", 2, {4}, 100, 140), Section("end", 1, {3}, 120, 120)};
    Song second;
    second.sections = {Section("next", 2, {2, 3}, 90, 90), Section("slower", 1, {4}, 80, 60)};
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice)
        settings.Instrument[voice] = 100 + static_cast<std::uint32_t>(voice);

    metronome.SetSong(&first);
    clock.Open(1000 + 2 * 48000);
    ASSERT_EQ(metronome.Start(handler, settings), Core::Metronome::Playing);
    clock.WaitParked();
    metronome.SetSong(&second);
    ASSERT_EQ(metronome.Continue(handler, settings, Core::IMetronome::ChangeAt::BarLimit, 5), Core::Metronome::Playing);
    clock.Open(1000 + 600 * 48000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (timer.IsRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(timer.IsRunning()) << "the second song does not end by itself";
    timer.Join();

    const Expected one = Beats(first);
    const Expected two = Beats(second);
    std::vector<std::int64_t> frames = engine.Frames();
    ASSERT_EQ(frames.size(), one.frames.size() + two.frames.size());
    const std::int64_t start = frames.front();
    const std::size_t split = one.frames.size();
    EXPECT_EQ(frames[split] - frames[split - 1], 24000) << "one beat at 120 bpm";
    for (std::int64_t& frame : frames)
        frame -= start;
    EXPECT_EQ(std::vector<std::int64_t>(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(split)),
              one.frames);
    std::vector<std::int64_t> rest(frames.begin() + static_cast<std::ptrdiff_t>(split), frames.end());
    const std::int64_t changeover = rest.front();
    for (std::int64_t& frame : rest)
        frame -= changeover;
    EXPECT_EQ(rest, two.frames);
    const std::vector<std::int32_t> sounds = engine.Sounds();
    EXPECT_EQ(std::vector<std::int32_t>(sounds.begin() + static_cast<std::ptrdiff_t>(split), sounds.end()), two.sounds);
    EXPECT_NE(std::find(handler.log.begin(), handler.log.end(), "continued 5 90"), handler.log.end());
    EXPECT_EQ(metronome.SongHeard().section, 1);
}

TEST(SongTiming, TheClosedFormIsTheIntegralOfTheTempoCurve)
{
    struct Case {
        double tempo, endTempo;
        int bars;
        std::vector<std::int32_t> groups;
        bool compound;
    };
    for (const Case& c : {Case{120, 100, 8, {4}, false}, Case{60, 240, 3, {2, 2, 3}, false}, Case{80, 40, 2, {6}, true},
                          Case{100, 100, 5, {4}, false}}) {
        SongSection section = Section("", c.bars, c.groups, c.tempo, c.endTempo);
        section.compound = c.compound;
        const double beats = static_cast<double>(c.bars) * section.BeatsPerBar();
        // Simpson's rule over 60000 / T(u) ms per tempo beat, in meter beats.
        const double perTempoBeat = c.compound ? 3 : 1;
        const int steps = 20000;
        double sum = 0;
        for (int i = 0; i <= steps; ++i) {
            const double u = beats * i / steps;
            const double f = 60000.0 / perTempoBeat / Core::SongTimerStrategy::TempoAt(section, u);
            sum += f * (i == 0 || i == steps ? 1 : (i % 2 ? 4 : 2));
        }
        const double integral = sum * beats / steps / 3;
        EXPECT_NEAR(Core::SongTimerStrategy::OffsetMs(section, beats), integral, 1e-6);
        EXPECT_DOUBLE_EQ(Core::SongTimerStrategy::TempoAt(section, beats), c.endTempo);
    }
}

}  // namespace

namespace {

using Kind = Core::TempoMap::Note::Kind;

TEST(TempoMap, LinesBecomeSectionsAndWhatDoesNotFitIsNoted)
{
    const char* text = "# a song\n"
                       "intro:  2 120          # steady\n"
                       "        8 4/4 120-100 Xx.x 0.5\n"
                       "\n"
                       "verse:  2 7/8 120 X.x.x..\n"
                       "        1 4/4 90,92,94,96\n"
                       "        4 4/4 120 Xx\n"
                       "        nonsense here\n"
                       "        1 4/8 250 x 2\n";
    Song song;
    const std::vector<Core::TempoMap::Note> notes = Core::TempoMap::Read(text, song);
    EXPECT_EQ(notes,
              (std::vector<Core::TempoMap::Note>{{6, Kind::BeatTempos},
                                                 {7, Kind::PatternLength},
                                                 {8, Kind::Unreadable},
                                                 {9, Kind::PatternLength},
                                                 {9, Kind::VolumeAboveFull},
                                                 {9, Kind::TempoOutOfRange}}));
    ASSERT_EQ(song.sections.size(), 6u);
    EXPECT_EQ(song.sections[0].label, "intro");
    EXPECT_EQ(song.sections[0].bars, 2);
    EXPECT_EQ(song.sections[1].endTempo, 100);
    EXPECT_EQ(song.sections[1].volume, 50);
    EXPECT_EQ(song.sections[1].Level(2), BeatLevel::Silent);
    // The tempo counts quarter notes: 7/8 at 120 is 240 eighths a minute.
    EXPECT_EQ(song.sections[2].unit, 8);
    EXPECT_EQ(song.sections[2].tempo, 240);
    EXPECT_EQ(song.sections[2].BeatsPerBar(), 7);
    EXPECT_EQ(song.sections[3].tempo, 90);
    EXPECT_EQ(song.sections[5].tempo, 400);

    // Written and read again, the song is the same (its accents written out beat by beat).
    Song again;
    EXPECT_TRUE(Core::TempoMap::Read(Core::TempoMap::Write(song), again).empty());
    for (Song* each : {&song, &again})
        for (SongSection& section : each->sections)
            for (int beat = 0; beat < section.BeatsPerBar(); ++beat)
                section.accents.resize(beat + 1, section.Level(beat));
    EXPECT_EQ(again.sections, song.sections);
}

TEST(TempoMap, MutedBarsAreWrittenAsSilentLinesOnTheSameCurve)
{
    SongSection section = Section("gap", 4, {2, 2, 3}, 140, 210);
    section.unit = 8;
    section.subdivision = 2;
    section.accents = {BeatLevel::Accent, BeatLevel::Soft, BeatLevel::Normal, BeatLevel::Soft,
                       BeatLevel::Normal, BeatLevel::Soft, BeatLevel::Soft};
    section.playBars = 1;
    section.muteBars = 2;
    Song song;
    song.sections = {section, Section("", SongSection::Endless, {4}, 100, 100)};
    std::vector<Core::TempoMap::Note> notes;
    EXPECT_EQ(Core::TempoMap::Write(song, &notes),
              "gap: 1 7/8 70-78.75\n"
              "2 7/8 78.75-96.25 .......\n"
              "1 7/8 96.25-105\n"
              "1 4/4 100\n");
    EXPECT_EQ(notes,
              (std::vector<Core::TempoMap::Note>{{1, Kind::Groups}, {1, Kind::Subdivisions}, {2, Kind::Endless}}));
    // A label of nothing a line can hold is left out, not written as a line that cannot be read.
    song.sections.resize(1);
    song.sections[0].label = ":#";
    EXPECT_EQ(Core::TempoMap::Write(song).substr(0, 8), "1 7/8 70");
}

}  // namespace

namespace {

TEST(SongMidiFile, ASequencerReadsEveryBeatAtItsTimeOnTheCurveAndEverySectionsMeter)
{
    Song song = FourSections();
    song.sections[1].playBars = 3;  // bars 4 and 8 of the ramp are muted
    song.sections[1].muteBars = 1;
    song.sections[3].volume = 50;
    const std::string file = Core::SongMidiFile::Write(song);
    Core::SongMidiFile::Contents contents;
    ASSERT_TRUE(Core::SongMidiFile::Read(file, contents));
    const Expected expected = Beats(song);
    ASSERT_EQ(contents.notes.size(), expected.frames.size());
    double worst = 0;
    for (std::size_t n = 0; n < contents.notes.size(); ++n)
        worst = std::max(worst, std::fabs(contents.notes[n].seconds * Rate - static_cast<double>(expected.frames[n])));
    EXPECT_LE(worst, 0.5 + 2e-6 * Rate) << "each beat within a rounding and a microsecond";
    EXPECT_EQ(contents.notes.front().note, 76);
    EXPECT_EQ(contents.notes.back().velocity, 50);
    ASSERT_EQ(contents.meters.size(), 4u);
    EXPECT_EQ(contents.meters[2].beats, 7);
    EXPECT_EQ(contents.meters[2].unit, 8);
    EXPECT_EQ(contents.meters[3].tick, (2 * 4 + 8 * 4) * 960 + 7 * 480);
    EXPECT_EQ(contents.markers, (std::vector<std::string>{"intro", "bridge", "verse", "turn"}));
    // Cut short anywhere, a file is read as far as it goes.
    for (std::size_t size : {std::size_t{0}, std::size_t{13}, file.size() / 2, file.size() - 1})
        EXPECT_FALSE(Core::SongMidiFile::Read(std::string_view(file).substr(0, size), contents)) << size;
}

}  // namespace
