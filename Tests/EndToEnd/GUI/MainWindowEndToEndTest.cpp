#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <chrono>
#include <cmath>
#include <memory>
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

    Tests::MonitorRecorder recorder(44100);
    ASSERT_TRUE(recorder.Recording());
    RunFor(std::chrono::milliseconds(500));
    QTest::mouseClick(window->StartButton(), Qt::LeftButton);
    ASSERT_TRUE(window->Playing()) << "the metronome did not start";
    EXPECT_EQ(window->StartButton()->text(), QStringLiteral("Stop"));
    RunFor(std::chrono::milliseconds(4500));
    const int flashes = indicator.FramesDrawn();
    QTest::mouseClick(window->StartButton(), Qt::LeftButton);
    EXPECT_FALSE(window->Playing());
    RunFor(std::chrono::milliseconds(800));
    const std::vector<float> recording = recorder.Stop();
    window.reset();
    metronome.SetBeatIndicator(nullptr);

    const double rate = 44100.0;  // the recorder's rate
    const double nominal = 60.0 * rate / Tempo;
    const std::vector<long> onsets = Onsets(recording, static_cast<long>(nominal / 3));
    // About 4.5 s at 150 bpm: eleven or twelve clicks.
    ASSERT_GE(onsets.size(), 10u) << "clicks heard: " << onsets.size();
    EXPECT_LE(onsets.size(), 13u);
    std::string spacings;
    double worst = 0;
    for (std::size_t i = 1; i < onsets.size(); ++i) {
        // The output has just been opened by the start: its clock mapping settles over the first
        // second, so the first two spacings are left out of the strict check.
        if (i > 2)
            worst = std::max(worst, std::fabs(static_cast<double>(onsets[i] - onsets[i - 1]) - nominal));
        spacings += std::to_string(onsets[i] - onsets[i - 1]) + " ";
    }
    const double mean = static_cast<double>(onsets.back() - onsets.front()) / static_cast<double>(onsets.size() - 1);
    // The tempo of the slider, and within a millisecond of its interval click after click.
    EXPECT_NEAR(mean, nominal, nominal * 0.001) << "spacings (nominal " << nominal << "): " << spacings;
    EXPECT_LT(worst, rate / 1000) << "spacings (nominal " << nominal << "): " << spacings;
    // The indicator flashed for the clicks.
    EXPECT_GE(flashes, static_cast<int>(onsets.size()) - 2);
}

}  // namespace
