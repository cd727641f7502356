#pragma once

#include <atomic>
#include <cstdint>

#include "Core/ITimerControl.h"
#include "Core/ITimerEventHandler.h"
#include "Platform/AutoResetEvent.h"
#include "Platform/Thread.h"

namespace Core {

// The metronome's clock: a worker thread that ticks one handler on a fixed grid. It sleeps for
// most of each interval and spins on the clock for the rest, pinned to the first processor at
// real-time priority. Ticks stay on reference + k * interval, so a late tick never delays the
// ones after it and the long-run tempo is exact.
class Timer : public ITimerControl {
public:
    // Where the worker reads the time and sleeps. The real one is the monotonic clock and the
    // wake event; tests give their own to drive the worker without real time.
    class IClock {
    public:
        virtual ~IClock() = default;
        virtual std::int64_t Now() = 0;        // counts
        virtual double Frequency() = 0;        // counts per second
        // Waits on the event for at most `milliseconds` (signal and time-out alike).
        virtual void Wait(Platform::AutoResetEvent& event, int milliseconds) = 0;
        // Sleeps precisely until the clock reads `deadline` (at once if it has passed). The
        // worker sleeps this way until shortly before a tick and spins only for the rest.
        virtual void SleepUntil(std::int64_t /*deadline*/) {}
    };

    // The worker spins only for the last stretch before a tick; before that it sleeps on a
    // high-resolution timer. A thread spinning at real-time priority for whole intervals would
    // be throttled by the kernel (frozen for tens of milliseconds every second) and would starve
    // every other thread on its processor.
    static constexpr double SpinMarginMs = 0.2;

    explicit Timer(IClock* clock = nullptr);
    ~Timer() override;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // The one timer of the process.
    static Timer& Instance();

    // Starts ticking `handler` every `intervalMs`; the first tick comes at once. A worker left
    // by an earlier Stop is joined first. False (and logged) when the thread cannot start, or
    // when called from the worker itself.
    bool Start(ITimerEventHandler* handler, double intervalMs);
    // Takes a new interval; the next tick comes one full new interval after the worker notices.
    bool SetInterval(double intervalMs) override;
    // Asks the worker to end; does not wait for it.
    void Stop() override;
    bool IsRunning() const noexcept override { return _running.load(std::memory_order_acquire); }
    // Waits for a stopped worker to end (not from the worker itself).
    void Join();

    // The grid time, in clock counts, of the tick being delivered (valid inside OnTimer): what
    // the sound output stamps its events with so that a late wake-up does not move a click.
    std::int64_t DueTime() const noexcept { return _dueTime.load(std::memory_order_acquire); }

    // Derived values, as the worker will next pick them up.
    int SleepTime() const noexcept { return _sleepTime.load(std::memory_order_acquire); }
    std::int64_t CountsPerTick() const noexcept { return _countsPerTick.load(std::memory_order_acquire); }
    // The sleep time the worker is using now, after its adaptive shortening (for tests).
    int CurrentSleepTime() const noexcept { return _currentSleep.load(std::memory_order_acquire); }

private:
    void StoreInterval(double intervalMs);
    void Run();

    IClock* _clock;
    double _frequency;
    Platform::AutoResetEvent _wake;
    Platform::Thread _thread;
    ITimerEventHandler* _handler = nullptr;
    std::atomic<int> _sleepTime{0};
    std::atomic<std::int64_t> _countsPerTick{0};
    std::atomic<bool> _intervalChanged{false};
    std::atomic<bool> _running{false};
    std::atomic<std::int64_t> _dueTime{0};
    bool _delivering = false;  // the worker is inside OnTimer (read and written on the worker only)
    std::atomic<bool> _changedByTick{false};
    std::atomic<int> _currentSleep{0};
};

}  // namespace Core
