#include "Core/Timer.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "Platform/Clock.h"
#include "System/ILog.h"

namespace Core {

namespace {

class SystemClock final : public Timer::IClock {
public:
    std::int64_t Now() override { return Platform::Clock::Now(); }
    double Frequency() override { return Platform::Clock::Frequency; }
    void Wait(Platform::AutoResetEvent& event, int milliseconds) override { event.Wait(milliseconds); }
    void SleepUntil(std::int64_t deadline) override { Platform::Clock::SleepUntil(deadline); }
    Moment HeardAt(std::int64_t due) override { return Moment(std::chrono::nanoseconds(due)); }
};

SystemClock systemClock;
std::atomic<bool> priorityFailureLogged{false};

}  // namespace

Timer::Timer(IClock* clock)
    : _ownClock(clock ? clock : &systemClock), _clock(_ownClock), _frequency(_ownClock->Frequency())
{
}

Timer::~Timer()
{
    Stop();
    _thread.Join();
}

Timer& Timer::Instance()
{
    static Timer timer;
    return timer;
}

void Timer::StoreInterval(Interval interval)
{
    const double intervalMs = interval.count();
    int sleep = static_cast<int>(intervalMs - 1.5);
    _sleepTime.store(sleep < 0 ? 0 : sleep, std::memory_order_release);
    const double period = intervalMs * _frequency.load(std::memory_order_relaxed) / 1000.0;
    _period.store(period, std::memory_order_release);
    _countsPerTick.store(static_cast<std::int64_t>(period), std::memory_order_release);
}

bool Timer::Start(ITimerEventHandler* handler, Interval interval, IClock* clock)
{
    return Begin(handler, interval, clock, std::nullopt);
}

bool Timer::StartAt(ITimerEventHandler* handler, Interval interval, IClock* clock, std::int64_t firstDue)
{
    return Begin(handler, interval, clock, firstDue);
}

bool Timer::Begin(ITimerEventHandler* handler, Interval interval, IClock* clock, std::optional<std::int64_t> firstDue)
{
    if (_thread.IsCurrent())
        return false;
    // A worker told to stop ends at its next wake, which is immediate; never leave it ticking.
    _running.store(false, std::memory_order_release);
    _wake.Set();
    _thread.Join();
    _wake.Reset();

    _handler = handler;
    _clock = clock ? clock : _ownClock;
    _frequency.store(_clock->Frequency(), std::memory_order_relaxed);
    StoreInterval(interval);
    _intervalChanged.store(false, std::memory_order_release);
    _placed = false;
    _originSet = false;
    _firstDue = firstDue;
    _running.store(true, std::memory_order_release);
    if (!_thread.Start([this] { Run(); })) {
        _running.store(false, std::memory_order_release);
        return System::ReportThreadStartError(_thread.StartError());
    }
    return true;
}

bool Timer::SetInterval(Interval interval)
{
    StoreInterval(interval);
    _intervalChanged.store(true, std::memory_order_release);
    return _wake.Set();
}

void Timer::PlaceNextTick(Interval current, Interval next)
{
    const double countsPerMs = _frequency.load(std::memory_order_relaxed) / 1000.0;
    if (!_originSet) {
        _origin = static_cast<double>(_dueTime.load(std::memory_order_relaxed)) - current.count() * countsPerMs;
        _originSet = true;
    }
    _placedDue = std::llround(_origin + next.count() * countsPerMs);
    _placed = true;
}

void Timer::PlaceNextTickAt(std::int64_t due)
{
    _placedDue = due;
    _placed = true;
    _placedAt = true;
}

void Timer::Stop()
{
    _running.store(false, std::memory_order_release);
    _wake.Set();
}

void Timer::Join()
{
    if (!_thread.IsCurrent())
        _thread.Join();
}

// How many milliseconds the worker may sleep before `due`, keeping a margin to wake in.
double Timer::MsBefore(std::int64_t due, double frequency)
{
    return static_cast<double>(due - _clock->Now()) * 1000.0 / frequency - 1.5;
}

void Timer::RaisePriority()
{
    Platform::Thread::PinToFirstProcessor();
    if (int error = Platform::Thread::RaiseToRealTime(); error != 0) {
        // Unprivileged users usually may not: say so once and go on at normal priority.
        if (!priorityFailureLogged.exchange(true))
            System::ReportSystemErrorCode(error, "Src/Core/Timer", "Core::Timer::SetThreadPriority", __LINE__,
                                          "Error calling pthread_setschedparam");
    }
}

bool Timer::WaitForFirstTick(Grid& grid)
{
    if (!_firstDue || *_firstDue <= grid.reference)
        return true;
    std::int64_t& firstDue = *_firstDue;
    // A first tick further off (a session's next bar line): waited for as any other.
    for (;;) {
        const double left = MsBefore(firstDue, grid.frequency);
        if (left <= 0)
            break;
        // On the output's frames the hand-over time moves with the lead: looked at again.
        _clock->Wait(_wake, static_cast<int>(std::min(left, grid.spins ? 60000.0 : LookAgainMs)));
        _wake.Reset();
        if (!_running.load(std::memory_order_acquire) || _clock->Lost())
            break;
    }
    int reads = 0;
    if (_running.load(std::memory_order_acquire) && !_clock->Lost()) {
        // The output's mapping settles in its first moments: the first tick is placed anew.
        _handler->BeforePlacedTick(firstDue);
        _clock->SleepUntil(firstDue - grid.spinMargin);
        SpinUntil(grid, firstDue, reads);
    }
    grid.reference = firstDue;
    return _running.load(std::memory_order_acquire) && !_clock->Lost();
}

void Timer::Deliver(Grid& grid, std::int64_t due)
{
    _dueTime.store(due, std::memory_order_release);
    _tick = TickTime{_clock->FrameOf(due), _clock->HeardAt(due)};
    grid.lastDue = due;
    _placed = false;
    _placedAt = false;
    _handler->OnTimer();
}

int Timer::NextWait(Grid& grid)
{
    int wait = grid.sleepTime;
    if (_placed) {
        const double left = MsBefore(_placedDue, grid.frequency);
        wait = left > 0 ? static_cast<int>(std::min(left, 60000.0)) : 0;
        // A tick on a timeline that others change is looked at again every few milliseconds.
        if (_placedAt)
            wait = std::min(wait, RefineSliceMs);
        grid.waitForNextOnly = false;
    } else if (grid.waitForNextOnly) {
        const double left = MsBefore(grid.Due(grid.k + 1), grid.frequency);
        wait = left > 0 ? std::min(static_cast<int>(left), grid.sleepTime) : 0;
        grid.waitForNextOnly = false;
    }
    if (!grid.spins) {
        // The hand-over time of a tick on the output's frames moves with the output's lead: the
        // wait ends before the tick's time as it is now, and no later than a look again.
        const double left = MsBefore(_placed ? _placedDue : grid.Due(grid.k + 1), grid.frequency);
        wait = left > 0 ? static_cast<int>(std::min(left, static_cast<double>(LookAgainMs))) : 0;
        if (_placedAt)
            wait = std::min(wait, RefineSliceMs);
    }
    return wait;
}

void Timer::TakeNewInterval(Grid& grid)
{
    grid.sleepTime = _sleepTime.load(std::memory_order_acquire);
    grid.period = _period.load(std::memory_order_acquire);
    _currentSleep.store(grid.sleepTime, std::memory_order_release);
    // The new grid goes on from the last tick, whoever changed it and however long ago: a stream
    // of changes never holds a beat back by more than one new interval. Should its first tick
    // have passed already, it comes at once.
    grid.reference = grid.lastDue;
    grid.k = 0;
    if (const std::int64_t now = _clock->Now(); grid.reference + std::llround(grid.period) < now)
        grid.reference = now - std::llround(grid.period);
    // After an interval change the next tick may be due sooner than a whole sleep away.
    grid.waitForNextOnly = true;
}

bool Timer::PlacedTickClose(const Grid& grid)
{
    // A timeline others change: the tick goes where it says now, and is waited for again until
    // it is close.
    std::int64_t placed = _placedDue;
    _handler->BeforePlacedTick(placed);
    _placedDue = placed;
    if (placed - _clock->Now() > 2 * grid.spinMargin + static_cast<std::int64_t>(grid.frequency * 0.0015))
        return false;
    _placedAt = false;
    return true;
}

void Timer::ShortenSleep(Grid& grid, int reads)
{
    // A tick reached at the first read was overslept: after a few, the worker sleeps less.
    if (grid.spins && reads == 1 && ++grid.overshoots > 2 && grid.sleepTime > 0) {
        --grid.sleepTime;
        grid.overshoots = 0;
        _currentSleep.store(grid.sleepTime, std::memory_order_release);
    }
}

void Timer::Run()
{
    Grid grid;
    grid.sleepTime = _sleepTime.load(std::memory_order_acquire);
    grid.period = _period.load(std::memory_order_acquire);
    grid.frequency = _frequency.load(std::memory_order_relaxed);
    grid.spins = _clock->Spins();
    grid.spinMargin = grid.spins ? SpinMarginCounts(grid.frequency) : 0;
    _currentSleep.store(grid.sleepTime, std::memory_order_release);

    const bool realTime = _clock->RealTime();
    if (realTime)
        RaisePriority();

    grid.reference = _clock->Now();
    if (WaitForFirstTick(grid))
        Deliver(grid, grid.reference);
    _clock->Begun();

    while (_running.load(std::memory_order_acquire)) {
        _clock->Wait(_wake, NextWait(grid));
        _wake.Reset();
        if (!_running.load(std::memory_order_acquire))
            break;
        if (_clock->Lost())
            break;
        if (_intervalChanged.exchange(false, std::memory_order_acq_rel)) {
            TakeNewInterval(grid);
            continue;
        }
        if (_placedAt && !PlacedTickClose(grid))
            continue;
        const std::int64_t due = _placed ? _placedDue : grid.Due(grid.k + 1);
        // Woken a whole millisecond or more before the tick (a look again): wait on.
        if (!grid.spins && MsBefore(due, grid.frequency) >= 1)
            continue;
        int reads = 0;
        _clock->SleepUntil(due - grid.spinMargin);
        if (!SpinUntil(grid, due, reads))
            break;
        if (_placed) {
            grid.reference = due;
            grid.k = 0;
        } else {
            ++grid.k;
        }
        Deliver(grid, due);
        ShortenSleep(grid, reads);
    }
    if (_clock->Lost() && _running.exchange(false, std::memory_order_acq_rel))
        _handler->OnClockLost();
    if (realTime)
        Platform::Thread::RestoreProcessors();
}

// Reads the clock until it reaches `due` (`reads`: how many reads it took). A clock that does not
// get there within a moment of real time (its frames stand still) is waited for on the wake event
// between reads. False when the worker is to end instead: stopped, or the clock lost.
bool Timer::SpinUntil(const Grid& grid, std::int64_t due, int& reads)
{
    reads = 0;
    const std::int64_t giveUp = Platform::Clock::Now() + LongestSpinNs;
    for (;;) {
        ++reads;
        if (_clock->Now() >= due)
            break;
        if (!BetweenReads(grid, reads, giveUp))
            return false;
    }
    return _running.load(std::memory_order_acquire);
}

bool Timer::BetweenReads(const Grid& grid, int reads, std::int64_t giveUp)
{
    if (grid.spins && (reads & 63) != 0)
        return true;
    if (Platform::Clock::Now() > giveUp) {
        // A signal consumed here leaves its flag (a stop, an interval change) to be seen.
        _clock->Wait(_wake, 1);
    } else if (grid.spins) {
        return true;
    } else {
        _clock->Nap();
    }
    return _running.load(std::memory_order_acquire) && !_clock->Lost();
}

}  // namespace Core
