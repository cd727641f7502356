#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/SimpleBeatMetronomeStrategy.h"
#include "Core/SpeedTrainerTimerStrategy.h"
#include "Core/Timer.h"
#include "Core/TrainerCurveSelection.h"
#include "EngineFakes.h"

namespace {

// The real timer thread drives a speed-training run that ends itself, while this thread
// changes the volumes: every value the two threads share must be handed over safely.
TEST(TimerDrivenStrategy, ShortTrainerRunStopsItselfOnTheTimerThread)
{
    Configuration::ConfigurationData settings;
    settings.Bpm = 400;
    settings.From = 0.9f;  // 360 to 400 bpm in ten steps
    settings.Duration = 0.01f;
    settings.Warmup = 0.0f;
    settings.Warmdown = 0.0f;
    settings.VisualIndicator = 0;
    settings.TicksPerBeat = 0;
    settings.TrainerBeatsPerBar = 4;
    settings.TrainerCurve = &Core::SelectTrainerCurve(settings);

    Tests::RecordingSoundEngine engine;
    Tests::RecordingHandler handler;
    Core::Timer timer;
    Core::SpeedTrainerTimerStrategy trainer;
    Core::SimpleBeatMetronomeStrategy simple;
    simple.SetSoundEngine(&engine);
    simple.SetHandler(&handler);
    simple.SetTimer(&timer);
    simple.SetUserTempo(400);
    simple.SetBeep(true);
    simple.SetVolumes(settings.Volume, 100);
    std::int32_t primary = 0;
    std::int32_t secondary = 0;
    bool compound = false;
    ASSERT_EQ(simple.CreatePattern(settings, primary, secondary, compound), 0);
    simple.SetTimerStrategy(&trainer);
    trainer.Initialise(settings);

    ASSERT_TRUE(timer.Start(&simple, trainer.GetInterval()));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::uint32_t volume = 0;
    while (timer.IsRunning() && std::chrono::steady_clock::now() < deadline) {
        const std::uint32_t volumes[12] = {volume, volume, volume, volume, volume, volume,
                                           volume, volume, volume, volume, volume, volume};
        simple.SetVolumes(volumes, 100);
        volume = (volume + 1) % 128;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    timer.Join();
    ASSERT_FALSE(timer.IsRunning());

    ASSERT_FALSE(handler.log.empty());
    EXPECT_EQ(handler.log.back(), "stopped 400");
    EXPECT_EQ(handler.log.size(), 11u);  // ten tempo changes, then the end
    EXPECT_EQ(handler.log[9], "event 1 400");
    EXPECT_EQ(engine.closed, 1);
}

}  // namespace
