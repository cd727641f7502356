#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <chrono>
#include <cmath>
#include <memory>
#include <cstdio>
#include <string>
#include <vector>

#include "Core/Metronome.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/Model/TempoInput.h"
#include "GUI/VisualBeatIndicator.h"
#include "Support/SoundCapture.h"
#include "GUI/Support/WindowFakes.h"

namespace {

QApplication& Application()
{
    static int argc = 1;
    static char name[] = "EndToEndTests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *application;
}

// Keeps the window's thread running while time passes, as the program's event loop does.
void RunFor(std::chrono::milliseconds time)
{
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The frames at which sound starts after at least `gap` frames of near silence.
std::vector<long> Onsets(const std::vector<float>& signal, long gap)
{
    float peak = 0;
    for (float s : signal)
        peak = std::max(peak, std::fabs(s));
    const float threshold = peak * 0.2f;
    std::vector<long> onsets;
    long quiet = gap;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        if (std::fabs(signal[i]) >= threshold) {
            if (quiet >= gap)
                onsets.push_back(static_cast<long>(i));
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return onsets;
}

// Pressing Start in the real window plays the metronome through the sound server at the tempo
// set on the slider, and Stop ends it.
TEST(EndToEnd, StartInTheWindowPlaysClicksAtTheSlidersTempo)
{
    if (!Tests::SoundServerAvailable())
        GTEST_SKIP() << "no sound server can be reached";
    Application();
    Tests::FakeConfiguration configuration;
    configuration.settings.VisualIndicator = 1;
    GUI::VisualBeatIndicator indicator;
    Core::Metronome& metronome = Core::Metronome::Instance();
    metronome.SetBeatIndicator(&indicator);
    auto window = std::make_unique<GUI::ApplicationWindow>(metronome, configuration, indicator);
    ASSERT_TRUE(window->Initialise());

    constexpr int Tempo = 150;
    window->TempoSlider()->setValue(GUI::TempoInput::SliderPosition(Tempo));
    ASSERT_EQ(configuration.settings.Bpm, static_cast<std::uint32_t>(Tempo));

    // Each click on the frame grid of the tempo. A recording the server or the machine spoiled
    // (a dropout moves the clicks after it) is made again, up to three times.
    const double rate = 44100.0;  // the recorder's rate
    const double nominal = 60.0 * rate / Tempo;
    std::vector<long> onsets;
    std::string detail;
    int flashes = 0;
    bool exact = false;
    for (int attempt = 0; attempt < 3 && !exact; ++attempt) {
        Tests::MonitorRecorder recorder(static_cast<int>(rate));
        ASSERT_TRUE(recorder.WaitUntilRecording());
        QTest::mouseClick(window->StartButton(), Qt::LeftButton);
        ASSERT_TRUE(window->Playing()) << "the metronome did not start";
        EXPECT_EQ(window->StartButton()->text(), QStringLiteral("Stop"));
        const int flashesBefore = indicator.FramesDrawn();
        RunFor(std::chrono::milliseconds(4500));
        flashes = indicator.FramesDrawn() - flashesBefore;
        QTest::mouseClick(window->StartButton(), Qt::LeftButton);
        EXPECT_FALSE(window->Playing());
        RunFor(std::chrono::milliseconds(800));
        onsets = Onsets(recorder.Stop(), static_cast<long>(nominal / 3));
        exact = Tests::OnTheFrameGrid(onsets, nominal, detail);
        if (!exact)
            std::printf("clicks off the frame grid, recorded again: %s\n", detail.c_str());
    }
    window.reset();
    metronome.SetBeatIndicator(nullptr);

    // About 4.5 s at 150 bpm: eleven or twelve clicks.
    ASSERT_GE(onsets.size(), 10u) << "clicks heard: " << onsets.size();
    EXPECT_LE(onsets.size(), 13u);
    // The tempo of the slider, every click on its frame.
    EXPECT_TRUE(exact) << detail;
    // The indicator flashed for the clicks.
    EXPECT_GE(flashes, static_cast<int>(onsets.size()) - 2);
}

}  // namespace
