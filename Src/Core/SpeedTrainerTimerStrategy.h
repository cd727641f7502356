#pragma once

#include <atomic>

#include "Core/ISpeedTrainerStrategy.h"
#include "Core/ITimerStrategy.h"

namespace Core {

// The speed trainer: an optional warm-up at the start tempo, then stages whose tempos come
// from a curve, then an optional warm-down of four stages, then the end of the run. Stage
// lengths are counted in timer ticks, which are finer than pattern entries so that a length
// in minutes comes out right whatever the pattern.
class SpeedTrainerTimerStrategy final : public ITimerStrategy {
public:
    static constexpr std::int32_t WarmDownStages = 4;

    void Initialise(Configuration::ConfigurationData& settings) override;
    Interval GetInterval() override { return Interval(_interval.load(std::memory_order_relaxed)); }
    std::int32_t GetTempo() override;
    void SetTempo(std::int32_t) override {}
    bool ControlsTempo() override { return true; }
    std::int32_t OnTick(std::uint16_t entry) override;
    std::int32_t TimerTicksPerBeat() override { return static_cast<std::int32_t>(_timerTicksPerBeat); }

    // The state of the run, for tests and diagnostics.
    std::int32_t StageCount() const noexcept { return _stageCount; }
    std::int32_t StageIndex() const noexcept { return _stageIndex; }
    std::int32_t CountedTicksInStage() const noexcept { return _countedTicksInStage; }
    std::int32_t CountedTicksPerStage() const noexcept { return _countedTicksPerStage; }
    std::int32_t WarmUpTicksLeft() const noexcept { return _warmUpTicksLeft; }
    std::int32_t StageLength() const noexcept { return _stageLength; }
    double TimerTicksPerBeat() const noexcept { return _timerTicksPerBeat; }
    std::int32_t TimerTicksPerEntry() const noexcept { return _timerTicksPerEntry; }
    const TrainerRange& Range() const noexcept { return _range; }

private:
    double IntervalFor(float tempo) const noexcept;
    void SetTempoAndInterval(float tempo, double interval) noexcept;
    std::int32_t BeginWarmDown();

    ISpeedTrainerStrategy* _curve = nullptr;
    TrainerRange _range{};
    // Read by the user-interface thread (resume after a pause, the tempo read-out) while the
    // timer thread renews them at stage changes.
    std::atomic<double> _interval{500.0};
    std::atomic<float> _tempo{0.0f};
    std::int32_t _stageCount = 1;
    std::int32_t _stageIndex = 0;
    std::int32_t _warmUpTicksLeft = 0;
    std::int32_t _warmDownLength = 0;
    std::int32_t _warmDownStageCount = WarmDownStages;
    double _timerTicksPerBeat = 8.0;
    std::int32_t _timerTicksPerEntry = 8;
    std::int32_t _tickInEntry = 0;
    std::int32_t _stageLength = 0;
    std::int32_t _countedTicksPerStage = 0;
    std::int32_t _countedTicksInStage = 0;
    bool _warmUpPending = false;
    bool _durationsInBars = false;
};

}  // namespace Core
