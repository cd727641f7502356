#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/Metronome.h"
#include "Core/SoundEngines.h"
#include "Platform/AudioOutput.h"
#include "Platform/Text.h"
#include "Support/InstrumentClicks.h"
#include "Support/SoundCapture.h"
#include "Support/TestEnvironment.h"
#include "Support/WavFileBuilder.h"

namespace {

class Handler final : public Core::IMetronomeEventHandler {
public:
    void OnSpeedTrainerStarted(std::int32_t, bool) override {}
    void OnTimerEvent(std::int32_t, std::int32_t, Core::Moment) override {}
    void OnStopped(std::int32_t) override { stopped.store(true); }
    void OnError(std::int32_t messageId) override
    {
        errorAt.store(std::chrono::steady_clock::now().time_since_epoch().count());
        error.store(messageId);
    }
    std::atomic<bool> stopped{false};
    std::atomic<std::int32_t> error{0};
    std::atomic<std::chrono::steady_clock::rep> errorAt{0};
};

void KillServer(pid_t server)
{
    ::kill(server, SIGKILL);
    for (int i = 0; i < 100 && ::kill(server, 0) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

bool StartServer()
{
    if (std::system(std::getenv("TICOVA_SOUND_SERVER_START")) != 0)
        return false;
    for (int i = 0; i < 100; ++i) {
        if (Tests::SoundServerAvailable())
            return std::system("pactl set-default-sink ticova_null >/dev/null 2>&1") == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// The sound server dies while the metronome plays: the run stops by itself at once with a message
// instead of playing silence, for either engine, without hanging. While no server runs, a start
// fails with its message; once the server is back, a start opens the output afresh and is heard.
TEST(SoundServerFaultEndToEnd, AServerThatDiesEndsTheRunAndTheNextStartPlays)
{
    if (!Tests::SoundServerAvailable() || Tests::OwnSoundServer() <= 0)
        GTEST_SKIP() << "needs a sound server of its own (run under scripts/with-sound-server with none running)";
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    Core::Metronome& metronome = Core::Metronome::Instance();

    const std::string file = Tests::MakeTempFolder("server-fault") + "click.wav";
    ASSERT_TRUE(Tests::WavFileBuilder({}).Samples16(std::vector<std::int16_t>(2000, 12000)).Save(file));
    for (const std::uint32_t engine : {Core::SoundEngines::Midi, Core::SoundEngines::AudioFile}) {
        SCOPED_TRACE(engine == Core::SoundEngines::Midi ? "MIDI engine" : "audio-file engine");
        Configuration::ConfigurationData settings;
        settings.SoundEngineType = engine;
        settings.VisualIndicator = 0;
        settings.Bpm = 240;
        for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice)
            settings.Instrument[voice] = engine == Core::SoundEngines::Midi ? Tests::RowOf(76) : 0;
        Platform::Text::Utf8ToUtf16(file, settings.File[0]);

        Handler handler;
        ASSERT_EQ(metronome.Start(handler, settings), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const auto killed = std::chrono::steady_clock::now();
        KillServer(Tests::OwnSoundServer());
        // The run ends by itself and says why (its handler hears of it last).
        while (handler.error.load() == 0 && std::chrono::steady_clock::now() - killed < std::chrono::seconds(15))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        using Clock = std::chrono::steady_clock;
        const auto failed =
            handler.error.load() != 0 ? Clock::time_point(Clock::duration(handler.errorAt.load())) : Clock::now();
        const double took = std::chrono::duration<double>(failed - killed).count();
        EXPECT_FALSE(metronome.IsRunning()) << "still playing into a dead output";
        // Seen when the stream's audio thread ends, not after a long silence (which the
        // practice log would count).
        EXPECT_LT(took, 1.0);
        EXPECT_TRUE(handler.stopped.load());
        EXPECT_NE(handler.error.load(), 0) << "a run that ends by itself says why";
        if (metronome.IsRunning())
            metronome.Stop();

        // No server: a start fails with its message. Then the server is back: a start is heard.
        Handler refused;
        EXPECT_NE(metronome.Start(refused, settings), 0);
        ASSERT_TRUE(StartServer());
        Tests::MonitorRecorder recorder(static_cast<int>(output.SampleRate()));
        ASSERT_TRUE(recorder.WaitUntilRecording());
        Handler again;
        ASSERT_EQ(metronome.Start(again, settings), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const auto stopAt = std::chrono::steady_clock::now();
        metronome.Stop();
        // The window waits on no device: the players let go of theirs on their own threads.
        EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::milliseconds(50)) << "Stop waits";
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        const std::vector<float> recording = recorder.Stop();
        float peak = 0;
        for (float sample : recording)
            peak = std::max(peak, std::abs(sample));
        EXPECT_GT(peak, 0.05f) << "nothing heard after the server came back";
        EXPECT_EQ(again.error.load(), 0);
    }
}

}  // namespace
