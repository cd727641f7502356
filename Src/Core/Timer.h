#pragma once

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>

#include "Core/HeardTime.h"
#include "Core/ITimerControl.h"
#include "Core/ITimerEventHandler.h"
#include "Platform/AutoResetEvent.h"
#include "Platform/Clock.h"
#include "Platform/OutputFrame.h"
#include "Platform/Thread.h"

namespace Core {

// The metronome's clock: a worker thread that ticks one handler on a fixed grid. It sleeps for
// most of each interval and spins on the clock for the rest, pinned to the first processor at
// real-time priority. Tick k falls on reference + round(k * interval), so a late tick never
// delays the ones after it, rounding never adds up and the long-run tempo is exact.
//
// While the sound output runs, the clock it reads is the output's frame counter: a tick's due
// time is the very frame its clicks start on, and the system clock only decides when the worker
// wakes to hand it over.
class Timer : public ITimerControl {
public:
    // Where the worker reads the time and sleeps. The real one is the monotonic clock and the
    // wake event; tests give their own to drive the worker without real time.
    class IClock {
    public:
        virtual ~IClock() = default;
        virtual std::int64_t Now() = 0;  // counts
        virtual double Frequency() = 0;  // counts per second
        // Waits on the event for at most `milliseconds` (signal and time-out alike).
        virtual void Wait(Platform::AutoResetEvent& event, int milliseconds) = 0;
        // Sleeps precisely until the clock reads `deadline` (at once if it has passed). The
        // worker sleeps this way until shortly before a tick and spins only for the rest.
        virtual void SleepUntil(std::int64_t /*deadline*/) {}
        // The output frame a tick due at `due` sounds on (at once: this clock is not the
        // output's, the clicks play at once), and the moment it is heard.
        virtual Platform::OutputFrame FrameOf(std::int64_t /*due*/) { return Platform::OutputFrame::AtOnce(); }
        virtual Moment HeardAt(std::int64_t due)
        {
            return Moment(
                std::chrono::nanoseconds(static_cast<std::int64_t>(static_cast<double>(due) * (1e9 / Frequency()))));
        }
        // The inverse: the (fractional) count of this clock that is heard at `moment`.
        virtual double FrameHeardAt(Moment moment)
        {
            return static_cast<double>(moment.time_since_epoch().count()) * (Frequency() / 1e9);
        }
        // Whether this clock runs in real time, so that the worker is pinned to the first
        // processor at real-time priority. A clock that passes only as frames are rendered
        // offline needs neither, and must not hold a processor at that priority.
        virtual bool RealTime() { return true; }
        // Whether the worker spins on this clock for the last stretch before a tick, so that the
        // tick comes at its very time (its clicks play the moment they are handed over). A clock
        // whose ticks name the frame their clicks start on needs a tick only in time: the worker
        // naps between reads instead, looks again at least every LookAgainMs (the hand-over
        // time moves with the output's lead), and a wake past a tick's time does not shorten
        // its sleep.
        virtual bool Spins() { return true; }
        // A moment's sleep between two reads of a clock the worker does not spin on.
        virtual void Nap() { Platform::Clock::SleepFor(NapTime); }
        // Once the run's first tick was handed over (or the worker ended before it): an output
        // that waited for the first sound plays now.
        virtual void Begun() {}
        // Whether this clock has stopped for good (the output whose frames it counts died): the
        // worker then tells its handler and ends. Wait returns early when it happens.
        virtual bool Lost() { return false; }
    };
    // How long the worker spins on a clock that does not reach a tick's time (an output whose
    // frames stand still) before it goes back to waiting on the wake event, so that a stop or a
    // lost clock is seen at once.
    static constexpr std::int64_t LongestSpinNs = 2'000'000;
    // How long the worker naps between reads of a clock it does not spin on, and how long it
    // waits at most before it looks at such a clock again.
    static constexpr std::chrono::microseconds NapTime{200};
    static constexpr int LookAgainMs = 100;
    // How often a tick placed on a timeline others change (PlaceNextTickAt) is placed anew
    // while the worker waits for it.
    static constexpr int RefineSliceMs = 10;

    // The worker spins only for the last stretch before a tick; before that it sleeps on a
    // high-resolution timer. A thread spinning at real-time priority for whole intervals would
    // be throttled by the kernel (frozen for tens of milliseconds every second) and would starve
    // every other thread on its processor.
    static constexpr Interval SpinMargin{0.2};
    // The spin margin in counts of a clock of `frequency`: the worker sleeps until a tick's due
    // time less this, then reads the clock until the tick is due.
    static std::int64_t SpinMarginCounts(double frequency) noexcept
    {
        return static_cast<std::int64_t>(SpinMargin.count() * frequency / 1000.0);
    }

    explicit Timer(IClock* clock = nullptr);
    ~Timer() override;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // The one timer of the process.
    static Timer& Instance();

    // Starts ticking `handler` every `intervalMs` on `clock` (null: the timer's own); the first
    // tick comes at once. A worker left by an earlier Stop is joined first. False (and logged)
    // when the thread cannot start, or when called from the worker itself.
    bool Start(ITimerEventHandler* handler, Interval interval, IClock* clock = nullptr);
    // As Start, but the first tick is due when the clock reads `firstDue` (at once if it has
    // passed): a run that plays with a session begins on its bar line.
    bool StartAt(ITimerEventHandler* handler, Interval interval, IClock* clock, std::int64_t firstDue);
    // Takes a new interval, from a tick or from any other thread: the next tick comes one new
    // interval after the last one (at once if that has passed), and the new grid goes on from it.
    bool SetInterval(Interval interval) override;
    // Asks the worker to end; does not wait for it.
    void Stop() override;
    bool IsRunning() const noexcept override { return _running.load(std::memory_order_acquire); }
    // Waits for a stopped worker to end (not from the worker itself).
    void Join();

    // The grid time, in clock counts, of the tick being delivered (valid inside OnTimer).
    std::int64_t DueTime() const noexcept { return _dueTime.load(std::memory_order_acquire); }
    // Where the tick being delivered sounds and when it is heard (valid inside OnTimer).
    TickTime CurrentTick() const noexcept override { return _tick; }
    // Inside OnTimer: the next tick is due at the origin + `next`, rounded to a count of the
    // clock (the origin: this tick's due time less `current`, fixed by the first call after
    // Start). An even grid goes on from a placed tick as from a tempo change.
    void PlaceNextTick(Interval current, Interval next) override;
    // Inside OnTimer: the next tick is due when the clock reads `due` (a session's beat).
    void PlaceNextTickAt(std::int64_t due) override;
    // Inside OnTimer: the next PlaceNextTick fixes a new origin at this tick (a run that takes
    // over here counts its positions from its own first tick).
    void NewOrigin() noexcept { _originSet = false; }

    // The clock of the run (valid from Start until the next).
    IClock& CurrentClock() const noexcept { return *_clock; }
    // The clock a start with no clock of its own runs on.
    IClock& OwnClock() const noexcept { return *_ownClock; }

    // Derived values, as the worker will next pick them up.
    int SleepTime() const noexcept { return _sleepTime.load(std::memory_order_acquire); }
    std::int64_t CountsPerTick() const noexcept { return _countsPerTick.load(std::memory_order_acquire); }
    // The sleep time the worker is using now, after its adaptive shortening (for tests).
    int CurrentSleepTime() const noexcept { return _currentSleep.load(std::memory_order_acquire); }

private:
    void StoreInterval(Interval interval);
    // The worker's grid, carried between the steps of Run: tick k of it is due at
    // reference + round(k * period) clock counts.
    struct Grid {
        double frequency = 0;
        std::int64_t spinMargin = 0;
        bool spins = true;
        int sleepTime = 0;
        double period = 0;
        std::int64_t reference = 0;
        std::int64_t k = 0;
        std::int64_t lastDue = 0;
        // After an interval change: the next wait ends no later than the next tick.
        bool waitForNextOnly = false;
        int overshoots = 0;
        std::int64_t Due(std::int64_t tick) const noexcept
        {
            return reference + std::llround(static_cast<double>(tick) * period);
        }
    };
    // Starts the worker with its first tick at `firstDue` (none: at once).
    bool Begin(ITimerEventHandler* handler, Interval interval, IClock* clock, std::optional<std::int64_t> firstDue);
    void Run();
    void RaisePriority();
    // Waits for a first tick placed further off than now (StartAt): whether it is to be
    // delivered. The grid goes on from it.
    bool WaitForFirstTick(Grid& grid);
    void Deliver(Grid& grid, std::int64_t due);
    // How long the worker sleeps before it looks again, in milliseconds.
    int NextWait(Grid& grid);
    void TakeNewInterval(Grid& grid);
    // A tick placed on a timeline others change, placed anew: whether it is close enough to be
    // spun for now.
    bool PlacedTickClose(const Grid& grid);
    void ShortenSleep(Grid& grid, int reads);
    double MsBefore(std::int64_t due, double frequency);
    bool SpinUntil(const Grid& grid, std::int64_t due, int& reads);
    // Between two reads of the clock before `due`, once `giveUp` (real time) has passed: waits on
    // the wake event for a moment; before: spins on, or naps. False when the worker is to end.
    bool BetweenReads(const Grid& grid, int reads, std::int64_t giveUp);

    IClock* _ownClock;
    IClock* _clock;
    std::atomic<double> _frequency;
    Platform::AutoResetEvent _wake;
    Platform::Thread _thread;
    ITimerEventHandler* _handler = nullptr;
    std::atomic<int> _sleepTime{0};
    std::atomic<std::int64_t> _countsPerTick{0};
    std::atomic<double> _period{0};  // clock counts per tick, not rounded
    std::atomic<bool> _intervalChanged{false};
    std::atomic<bool> _running{false};
    std::atomic<std::int64_t> _dueTime{0};
    TickTime _tick;  // the worker's own
    // A placed next tick; the worker's own (Start resets the origin before the worker runs).
    bool _placed = false;
    bool _placedAt = false;  // by PlaceNextTickAt: looked at again shortly before it is due
    std::int64_t _placedDue = 0;
    double _origin = 0;
    bool _originSet = false;
    std::optional<std::int64_t> _firstDue;  // set before the worker starts; none: at once
    std::atomic<int> _currentSleep{0};
};

}  // namespace Core
