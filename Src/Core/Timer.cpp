#include "Core/Timer.h"

#include <atomic>
#include <cerrno>
#include <ctime>

#include "Platform/Clock.h"
#include "System/ILog.h"

namespace Core {

namespace {

class SystemClock final : public Timer::IClock {
public:
    std::int64_t Now() override { return Platform::Clock::Now(); }
    double Frequency() override { return Platform::Clock::Frequency; }
    void Wait(Platform::AutoResetEvent& event, int milliseconds) override { event.Wait(milliseconds); }
    void SleepUntil(std::int64_t deadline) override
    {
        timespec until{static_cast<time_t>(deadline / 1000000000LL), static_cast<long>(deadline % 1000000000LL)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }
};

SystemClock systemClock;
std::atomic<bool> priorityFailureLogged{false};

}  // namespace

Timer::Timer(IClock* clock) : _clock(clock ? clock : &systemClock), _frequency(_clock->Frequency()) {}

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

void Timer::StoreInterval(double intervalMs)
{
    int sleep = static_cast<int>(intervalMs - 1.5);
    _sleepTime.store(sleep < 0 ? 0 : sleep, std::memory_order_release);
    _countsPerTick.store(static_cast<std::int64_t>(intervalMs * _frequency / 1000.0), std::memory_order_release);
}

bool Timer::Start(ITimerEventHandler* handler, double intervalMs)
{
    if (_thread.IsCurrent())
        return false;
    // A worker told to stop ends at its next wake, which is immediate; never leave it ticking.
    _running.store(false, std::memory_order_release);
    _wake.Set();
    _thread.Join();
    _wake.Reset();

    _handler = handler;
    StoreInterval(intervalMs);
    _intervalChanged.store(false, std::memory_order_release);
    _running.store(true, std::memory_order_release);
    if (!_thread.Start([this] { Run(); })) {
        _running.store(false, std::memory_order_release);
        return System::ReportThreadStartError(_thread.StartError());
    }
    return true;
}

bool Timer::SetInterval(double intervalMs)
{
    StoreInterval(intervalMs);
    // Made by a tick itself (a trainer stage): the new grid starts at that tick's due time, so
    // the time the tick took does not delay every beat after it. From any other thread the new
    // interval counts from the moment the worker notices it.
    _changedByTick.store(_thread.IsCurrent() && _delivering, std::memory_order_relaxed);
    _intervalChanged.store(true, std::memory_order_release);
    return _wake.Set();
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

void Timer::Run()
{
    int sleepTime = _sleepTime.load(std::memory_order_acquire);
    std::int64_t countsPerTick = _countsPerTick.load(std::memory_order_acquire);
    int overshoots = 0;
    const auto spinMargin = static_cast<std::int64_t>(SpinMarginMs * _frequency / 1000.0);
    _currentSleep.store(sleepTime, std::memory_order_release);

    Platform::Thread::PinToFirstProcessor();
    if (int error = Platform::Thread::RaiseToRealTime(); error != 0) {
        // Unprivileged users usually may not: say so once and go on at normal priority.
        if (!priorityFailureLogged.exchange(true))
            System::ReportSystemErrorCode(error, "Src/Core/Timer", "Core::Timer::SetThreadPriority", __LINE__,
                                          "Error calling pthread_setschedparam");
    }

    const bool realClock = _clock == &systemClock;
    const auto deliver = [&](std::int64_t due) {
        _dueTime.store(due, std::memory_order_release);
        if (realClock)
            Platform::Clock::SetEventTime(due);
        _delivering = true;
        _handler->OnTimer();
        _delivering = false;
    };

    std::int64_t reference = _clock->Now();
    deliver(reference);

    while (_running.load(std::memory_order_acquire)) {
        _clock->Wait(_wake, sleepTime);
        _wake.Reset();
        if (!_running.load(std::memory_order_acquire))
            break;
        if (_intervalChanged.exchange(false, std::memory_order_acq_rel)) {
            sleepTime = _sleepTime.load(std::memory_order_acquire);
            countsPerTick = _countsPerTick.load(std::memory_order_acquire);
            _currentSleep.store(sleepTime, std::memory_order_release);
            const bool fromTick = _changedByTick.exchange(false, std::memory_order_relaxed);
            reference = fromTick ? _dueTime.load(std::memory_order_relaxed) : _clock->Now();
            continue;
        }
        _clock->SleepUntil(reference + countsPerTick - spinMargin);
        int reads = 0;
        std::int64_t now;
        do {
            now = _clock->Now();
            ++reads;
        } while (now - reference < countsPerTick);
        if (!_running.load(std::memory_order_acquire))
            break;
        deliver(reference + countsPerTick);
        reference += countsPerTick;
        if (reads == 1 && ++overshoots > 2 && sleepTime > 0) {
            --sleepTime;
            overshoots = 0;
            _currentSleep.store(sleepTime, std::memory_order_release);
        }
    }
    Platform::Clock::ClearEventTime();
    Platform::Thread::RestoreProcessors();
}

}  // namespace Core
