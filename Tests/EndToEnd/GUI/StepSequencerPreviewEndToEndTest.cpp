#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/Metronome.h"
#include "Core/PercussionTable.h"
#include "Core/SoundEngines.h"
#include "GUI/StepSequencerDialog.h"
#include "Platform/AudioOutput.h"
#include "Platform/SoundFontSynth.h"
#include "Platform/Text.h"
#include "Support/InstrumentClicks.h"
#include "Support/SoundCapture.h"

namespace {

using Tests::RowOf;

constexpr int FirstNote = 75;   // "Claves", voice 1
constexpr int SecondNote = 76;  // "Hi Wood Block", voice 2
constexpr int Velocity = 127;   // volume 127 at 100 %

std::vector<float> Template(int note, double rate)
{
    return Tests::Template(note, Velocity, rate);
}

// The dialog's application, for this test only: gone before the program's statics are.
std::unique_ptr<QApplication> MakeApplication()
{
    static int argc = 1;
    static char name[] = "EndToEndTests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
}

// A rhythm drawn in the step sequencer and played with its Play button through the program's
// metronome and sound output: the sound server's recording holds each drawn hit, in its voice's
// sound, at its step's time; the cursor ran along with it.
TEST(StepSequencerPreviewEndToEnd, DrawnHitsAreHeardAtTheirStepsTimes)
{
    if (!Tests::SoundServerAvailable())
        GTEST_SKIP() << "no sound server can be reached";
    const std::unique_ptr<QApplication> application = MakeApplication();
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    ASSERT_EQ(output.Acquire(), 0u);
    const double rate = output.SampleRate();

    // One bar of four beats in sixteenths at 120 bpm: a step every 125 ms.
    Configuration::ConfigurationData live;
    live.SoundEngineType = Core::SoundEngines::Midi;
    live.BeatType = 3;
    live.Bpm = 120;
    live.GlobalVolume = 100;
    live.CrNumBars = 1;
    live.CrBeatsPerBar = 4;
    live.CrSubdivision = 4;
    live.DisplayedSubdiv = 4;
    live.CrCompoundTime = 0;
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice) {
        live.Instrument[voice] = RowOf(voice == 0 ? FirstNote : SecondNote);
        live.Volume[voice] = 127;
    }
    Platform::Text::Copy(live.CustomRhythm, u"   ");
    const std::vector<std::pair<int, int>> drawn = {{0, 0}, {3, 0}, {4, 1}, {6, 0}, {10, 0}, {12, 1}};

    GUI::StepSequencerDialog dialog(nullptr, live);  // the program's metronome
    dialog.WorkingSettings() = live;
    dialog.PrepareWorkingSettings();
    dialog.Initialise();
    dialog.show();
    QApplication::processEvents();
    for (auto [step, voice] : drawn)
        dialog.GridWindow().Grid().ToggleCell(voice, step);

    // Each hit on its step's exact frame (a step is 5512.5 frames). A recording the server or
    // the machine spoiled (an underflow, a dropout) is made again, up to three times.
    const double step = 0.125 * rate;
    std::string onsets;
    bool exact = false;
    for (int attempt = 0; attempt < Tests::Recordings && !exact; ++attempt) {
        Tests::MonitorRecorder recorder(static_cast<int>(rate));
        ASSERT_TRUE(recorder.Recording());
        recorder.WaitUntilRecording();
        const std::int64_t underflows = output.Underflows();
        dialog.PlayButton()->click();
        ASSERT_TRUE(dialog.Previewing());
        // Past the first bar and the first step of the second (2 s and 2.125 s; the next hit
        // is at 2.375 s), long enough for the cursor to show what was heard by then.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2200);
        while (std::chrono::steady_clock::now() < until) {
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        dialog.PlayButton()->click();
        ASSERT_FALSE(dialog.Previewing());
        // Eight sub-steps a step at 120 bpm: the cursor moved through the bar, each sub-step shown
        // when heard (those not heard yet when Play was pressed again, the last tenth of a second
        // or so, are not shown).
        EXPECT_GE(dialog.GridWindow().CursorFrames(), 14 * 8);

        std::this_thread::sleep_for(std::chrono::milliseconds(800));  // the last click is heard
        const std::vector<Tests::Hit> heard =
            Tests::FindHits(recorder.Stop(), {Template(FirstNote, rate), Template(SecondNote, rate)});
        ASSERT_EQ(heard.size(), drawn.size() + 1);
        exact = output.Underflows() == underflows;
        onsets.clear();
        for (std::size_t i = 0; i < heard.size(); ++i) {
            const auto [drawnStep, voice] = i < drawn.size() ? drawn[i] : std::pair<int, int>{16, 0};
            EXPECT_EQ(heard[i].sound, voice) << "hit " << i;
            const double expected = static_cast<double>(heard[0].onset) + std::round(drawnStep * step);
            exact = exact && std::fabs(static_cast<double>(heard[i].onset) - expected) <= 1.0;
            onsets += std::to_string(heard[i].onset - heard[0].onset) + " ";
        }
        if (!exact)
            std::printf("hits off their frames or an underflow, recorded again: %s\n", onsets.c_str());
    }
    output.Release();
    EXPECT_TRUE(exact) << "onsets from the first (step " << step << " frames): " << onsets;
}

}  // namespace
