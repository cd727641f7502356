#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/ITimerEventHandler.h"
#include "Core/SoundEngines.h"
#include "Core/ISoundEngine.h"
#include "Core/Timer.h"
#include "Platform/AudioOutput.h"
#include "Platform/SoundFontSynth.h"
#include "Support/SoundCapture.h"

namespace {

constexpr int Note = 75;  // "Claves"
constexpr int Velocity = 110;

class Clicks final : public Core::ITimerEventHandler {
public:
    Clicks(Core::ISoundEngine& engine, int count) : _engine(engine), _count(count) {}
    void OnTimer() override
    {
        if (_played.load() < _count && _engine.PlaySound(Velocity, Note))
            ++_played;
    }
    bool Done() const { return _played.load() >= _count; }

private:
    Core::ISoundEngine& _engine;
    int _count;
    std::atomic<int> _played{0};
};

// Clicks scheduled by the timer go through the MIDI engine, the mixer and the sound server; the
// server's recording has every one of them, each the timer's interval after the one before, to
// the sample.
TEST(EndToEnd, TimerClicksReachTheSoundServerEvenlySpaced)
{
    if (!Tests::SoundServerAvailable())
        GTEST_SKIP() << "no sound server can be reached";
    Core::ISoundEngine& engine = *Core::SoundEngines::Get(Core::SoundEngines::Midi);
    Configuration::ConfigurationData settings;
    ASSERT_TRUE(engine.Initialise(settings)) << "result " << engine.GetLastResult();
    const double rate = Platform::AudioOutput::Instance().SampleRate();
    const Platform::Sound* sound = Platform::SoundFontSynth::Instance().Prepare(Note, Velocity, rate);
    ASSERT_NE(sound, nullptr);
    std::vector<float> click;
    for (std::int64_t i = 0; i < sound->frames; ++i)
        click.push_back(sound->samples[2 * i]);

    Tests::MonitorRecorder recorder(static_cast<int>(rate));
    ASSERT_TRUE(recorder.Recording());
    std::this_thread::sleep_for(std::chrono::seconds(3));  // the clock mapping settles

    constexpr int Count = 24;
    constexpr double IntervalMs = 125;
    Clicks clicks(engine, Count);
    Core::Timer& timer = Core::Timer::Instance();
    ASSERT_TRUE(timer.Start(&clicks, IntervalMs));
    while (!clicks.Done())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    timer.Stop();
    timer.Join();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const std::vector<float> recording = recorder.Stop();
    engine.Close();

    const std::vector<long> onsets = Tests::FindClicks(recording, click);
    ASSERT_EQ(onsets.size(), static_cast<std::size_t>(Count));
    const double nominal = IntervalMs * rate / 1000;
    int off = 0;
    std::string spacings;
    for (std::size_t i = 1; i < onsets.size(); ++i) {
        const double error = std::fabs(static_cast<double>(onsets[i] - onsets[i - 1]) - nominal);
        // Half a sample comes from the fractional interval, and the null sink runs about 84 ppm
        // fast against the clock. The server may drop out once or twice on a loaded machine;
        // clicks placed at buffer or synthesizer block boundaries would be tens of samples off.
        if (error > 2.5)
            ++off;
        spacings += std::to_string(onsets[i] - onsets[i - 1]) + " ";
    }
    EXPECT_LE(off, 2) << "spacing errors above 2.5 samples; spacings (nominal " << nominal << "): " << spacings
                      << "; late events " << Platform::AudioOutput::Instance().GetMixer().LateEvents()
                      << ", underflows " << Platform::AudioOutput::Instance().Underflows() << ", loop restarts "
                      << Platform::AudioOutput::Instance().GetMixer().Mapping().Restarts();
}

}  // namespace
