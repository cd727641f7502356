#pragma once

#include "Core/Timer.h"

namespace Platform {
class AudioOutput;
}

namespace Core {

// The timer's clock while the sound output runs: it counts the output's frames. Its "now" is the
// first frame a click handed over now is sure to reach in time (the frames being rendered plus
// the output's lead), so a tick due at frame F is handed over a lead ahead of F being rendered
// and its clicks start exactly on F. The system clock, through the output's mapping, only
// decides when the worker wakes.
class OutputClock final : public Timer::IClock {
public:
    explicit OutputClock(Platform::AudioOutput& output) noexcept : _output(output) {}
    // The clock of the program's output.
    static OutputClock& Instance();

    // Whether the output runs, so that its frames can serve as the clock.
    bool Available() const noexcept;

    std::int64_t Now() override;
    double Frequency() override;
    void Wait(Platform::AutoResetEvent& event, int milliseconds) override;
    void SleepUntil(std::int64_t frame) override;
    Platform::OutputFrame FrameOf(std::int64_t due) override { return due; }
    Moment HeardAt(std::int64_t due) override;
    double FrameHeardAt(Moment moment) override;
    // The output died under the run.
    bool Lost() override;
    // The next start of the output waits for the run's first tick, so that its first buffer
    // carries the first click (the output's HoldNextStart); Begun ends the wait.
    void HoldStart();
    void Begun() override;
    // A tick's clicks start on its frame however early it is handed over, as long as it is in time.
    bool Spins() override { return false; }

    // How often a wait looks whether the output still runs, and the longest sleep before a tick.
    static constexpr int WatchSliceMs = 100;
    static constexpr std::int64_t LongestSleepNs = 3'000'000;

private:
    Platform::AudioOutput& _output;
};

}  // namespace Core
