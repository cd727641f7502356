#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/ISoundEngine.h"
#include "Core/Metronome.h"
#include "Core/PercussionTable.h"
#include "Core/SoundEngines.h"
#include "Platform/AudioOutput.h"
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
    void OnTimerEvent(std::int32_t events, std::int32_t tempo) override
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



// The MIDI engine's output running, recorded from the sound server, with the clock mapping
// settled before anything plays; the output stays on until the recording is taken.
class MetronomeEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Tests::SoundServerAvailable())
            GTEST_SKIP() << "no sound server can be reached";
        ASSERT_EQ(output.Acquire(), 0u);
        acquired = true;
        rate = output.SampleRate();
        recorder = std::make_unique<Tests::MonitorRecorder>(static_cast<int>(rate));
        ASSERT_TRUE(recorder->Recording());
        std::this_thread::sleep_for(std::chrono::seconds(8));  // the clock-to-frame loop settles
    }
    void TearDown() override
    {
        if (Core::Metronome::Instance().IsRunning())
            Core::Metronome::Instance().Stop();
        recorder.reset();
        if (acquired)
            output.Release();
    }
    // Stops recording and the output; `deviceRate` is then the output's rate as measured
    // against the system clock.
    std::vector<float> Recording()
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));  // the last click is heard
        std::vector<float> recording = recorder->Stop();
        output.Release();
        acquired = false;
        deviceRate = output.GetMixer().Mapping().MeasuredRate();
        return recording;
    }
    // Checks the clicks of one tempo: each spacing is `seconds` of the system clock, counted in
    // the device's own samples (which need not come exactly `rate` a second).
    void ExpectSpacing(const std::vector<long>& onsets, double seconds, const std::string& what)
    {
        const double nominal = seconds * deviceRate;
        const Tests::ClickFigures figures = Tests::Measure(onsets, nominal);
        std::string spacings;
        for (std::size_t i = 1; i < onsets.size(); ++i)
            spacings += std::to_string(onsets[i] - onsets[i - 1]) + " ";
        const std::string figuresText = what + ": spacings " + spacings + "against " + std::to_string(nominal) +
                                        ", line max " + std::to_string(figures.lineMax) + "; " + Diagnostics();
        std::printf("%s\n", figuresText.c_str());
        SCOPED_TRACE(figuresText);
        // Each click is stamped with its tick's place on the timer's grid, so the metronome adds
        // no error of its own. The output's clock-to-frame loop wanders by up to three samples
        // over seconds (the bare timer's clicks show the same); a click placed when its tick was
        // delivered, or at a buffer boundary, would be tens to hundreds of samples off.
        EXPECT_LE(figures.spacingMax, 4.0);
        EXPECT_LE(figures.lineMax, 3.0);
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
        return "device " + std::to_string(deviceRate) + " frames/s, late events " + std::to_string(output.GetMixer().LateEvents()) + ", underflows " +
               std::to_string(output.Underflows());
    }

    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    bool acquired = false;
    double rate = 44100;
    double deviceRate = 44100;
    std::unique_ptr<Tests::MonitorRecorder> recorder;
    Handler handler;
};

TEST_F(MetronomeEndToEnd, BarsOfFourAt120BpmForFourSecondsSoundEvenlyWithTheAccentOnEachBar)
{
    auto settings = Settings();
    settings.BeatType = 1;
    settings.BeatsPerBar = 4;
    settings.Bpm = 120;
    Core::Metronome& metronome = Core::Metronome::Instance();
    ASSERT_EQ(metronome.Start(handler, settings), 0);
    // The ninth beat would be due at 4 s.
    std::this_thread::sleep_for(std::chrono::milliseconds(3900));
    metronome.Stop();
    EXPECT_EQ(handler.Log(), (std::vector<std::string>{"stopped 120"}));

    const std::vector<Hit> hits = FindHits(Recording(), {Template(AccentNote, rate), Template(BeatNote, rate)});
    ASSERT_EQ(hits.size(), 8u) << Diagnostics();
    std::vector<long> onsets;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        EXPECT_EQ(hits[i].sound, i % 4 == 0 ? 0 : 1) << "click " << i;
        // What is left after taking the click away is far less than the other sound leaves.
        EXPECT_LT(hits[i].leftOver, 0.1) << "click " << i;
        onsets.push_back(hits[i].onset);
    }
    ExpectSpacing(onsets, 0.5, "120 bpm");
}

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
    ASSERT_EQ(metronome.Start(handler, settings), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (metronome.IsRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_FALSE(metronome.IsRunning()) << "the run ends by itself";
    EXPECT_EQ(handler.Log(), (std::vector<std::string>{"started 120", "tempo 150", "tempo 180", "tempo 210",
                                                       "tempo 240", "stopped 240"}));

    const std::vector<Hit> hits = FindHits(Recording(), {Template(AccentNote, rate)});
    ASSERT_GE(hits.size(), 20u) << Diagnostics();
    // Four beats at each tempo of the curve, each beat 60 / tempo seconds after the one before.
    // The click that changes the tempo is the last on the old grid; the new grid starts when the
    // timer's worker takes the new interval, a little after that click's due time.
    const double stages[] = {120, 150, 180, 210, 240};
    for (std::size_t stage = 0; stage < 5; ++stage) {
        const std::string what = std::to_string(static_cast<int>(stages[stage])) + " bpm";
        const double seconds = 60.0 / stages[stage];
        const std::size_t first = stage * 4;
        const std::size_t last = stage < 4 ? first + 4 : hits.size() - 1;
        std::vector<long> onsets;
        for (std::size_t i = stage == 0 ? first : first + 1; i <= last; ++i)
            onsets.push_back(hits[i].onset);
        ExpectSpacing(onsets, seconds, what);
        if (stage > 0) {
            const double late = static_cast<double>(hits[first + 1].onset - hits[first].onset) - seconds * deviceRate;
            EXPECT_GT(late, -4.0) << what << ", first beat";
            EXPECT_LT(late, 0.0005 * deviceRate) << what << ", first beat";
        }
    }
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
    ASSERT_EQ(metronome.Start(handler, settings), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (metronome.IsRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_FALSE(metronome.IsRunning()) << "the run ends by itself";

    const std::vector<Hit> hits = FindHits(Recording(), {Template(AccentNote, rate), Template(BeatNote, rate)});
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
        EXPECT_LE(nearest, 4) << "beep at " << beep << "; " << Diagnostics();
    }
}

}  // namespace
