#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/ISoundEngine.h"
#include "Core/ITimerEventHandler.h"
#include "Core/OutputClock.h"
#include "Core/SoundEngines.h"
#include "Core/Timer.h"
#include "Platform/AudioOutput.h"
#include "Platform/SoundFontSynth.h"
#include "Support/SoundCapture.h"

namespace {

constexpr int Note = 75;  // "Claves"
constexpr int Velocity = 110;

class Clicks final : public Core::ITimerEventHandler {
public:
    Clicks(Core::ISoundEngine& engine, Core::Timer& timer, int count) : _engine(engine), _timer(timer), _count(count) {}
    void OnTimer() override
    {
        if (_played.load() < _count && _engine.PlaySoundAt(Velocity, Note, _timer.CurrentTick().frame))
            ++_played;
    }
    bool Done() const { return _played.load() >= _count; }

private:
    Core::ISoundEngine& _engine;
    Core::Timer& _timer;
    int _count;
    std::atomic<int> _played{0};
};

// Clicks scheduled by the timer on the output's frames go through the MIDI engine, the mixer and
// the sound server; the server's recording has every one of them on the exact frame grid, from
// the first. A recording the server or machine spoiled (a dropout) is made again.
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

    constexpr int Count = 24;
    constexpr double IntervalMs = 125;
    const double period = IntervalMs * rate / 1000;
    std::string detail;
    bool exact = false;
    for (int attempt = 0; attempt < Tests::Recordings && !exact; ++attempt) {
        Tests::MonitorRecorder recorder(static_cast<int>(rate));
        ASSERT_TRUE(recorder.Recording());
        recorder.WaitUntilRecording();
        const std::int64_t underflows = Platform::AudioOutput::Instance().Underflows();
        Clicks clicks(engine, Core::Timer::Instance(), Count);
        Core::Timer& timer = Core::Timer::Instance();
        ASSERT_TRUE(timer.Start(&clicks, Core::Interval(IntervalMs), &Core::OutputClock::Instance()));
        while (!clicks.Done())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        timer.Stop();
        timer.Join();
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        const std::vector<long> onsets = Tests::FindClicks(recorder.Stop(), click);
        // A click lost to a server that fell behind spoils the recording as an underflow does.
        detail = std::to_string(onsets.size()) + " of " + std::to_string(Count) + " clicks heard";
        exact = onsets.size() == static_cast<std::size_t>(Count) && Tests::OnTheFrameGrid(onsets, period, detail) &&
            Platform::AudioOutput::Instance().Underflows() == underflows;
        if (!exact)
            std::printf("clicks lost, off the frame grid or an underflow: recorded again; %s\n", detail.c_str());
    }
    engine.Close();
    EXPECT_TRUE(exact) << detail << "; late events " << Platform::AudioOutput::Instance().GetMixer().LateEvents()
                       << ", dropped " << Platform::AudioOutput::Instance().GetMixer().DroppedEvents()
                       << ", underflows " << Platform::AudioOutput::Instance().Underflows();
}

}  // namespace
