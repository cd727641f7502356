#pragma once

#include <atomic>

#include "Core/ITimerStrategy.h"

namespace Core {

// Playback inside the step sequencer: every rhythm step is cut into sub-steps so that the
// grid can draw a moving position; the pattern moves on at the first sub-step of each step.
class StepSequencerTimerStrategy final : public ITimerStrategy {
public:
    void Initialise(Configuration::ConfigurationData& settings) override;
    Interval GetInterval() override;
    std::int32_t GetTempo() override { return _tempo.load(std::memory_order_relaxed); }
    void SetTempo(std::int32_t bpm) override;
    bool ControlsTempo() override { return false; }
    std::int32_t OnTick(std::uint16_t entry) override;
    std::int32_t TimerTicksPerBeat() override { return _timerTicksPerBeat; }

    std::int32_t SubStepsPerStep() const noexcept { return _subStepsPerStep; }

private:
    std::atomic<std::int32_t> _tempo{120};
    std::int32_t _timerTicksPerBeat = 1;
    std::int32_t _subStep = 0;
    std::int32_t _subStepsPerStep = 1;
};

}  // namespace Core
