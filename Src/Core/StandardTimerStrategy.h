#pragma once

#include <atomic>

#include "Core/ITimerStrategy.h"

namespace Core {

// A fixed tempo, one tick per pattern entry.
class StandardTimerStrategy final : public ITimerStrategy {
public:
    void Initialise(Configuration::ConfigurationData& settings) override;
    Interval GetInterval() override;
    std::int32_t GetTempo() override { return _tempo.load(std::memory_order_relaxed); }
    void SetTempo(std::int32_t bpm) override;
    bool ControlsTempo() override { return false; }
    std::int32_t OnTick(std::uint16_t) override { return Advance; }
    std::int32_t TimerTicksPerBeat() override;

private:
    // Written by the user-interface thread while the timer thread reads it.
    std::atomic<std::int32_t> _tempo{120};
    std::int32_t _ticksPerBeat = 0;
    bool _visual = false;
};

}  // namespace Core
