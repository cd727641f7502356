// Measures how closely the timer thread keeps its grid, against a thread that only sleeps.
//
// For each interval the timer runs a fixed number of ticks; every tick reads the clock, and its
// deviation from the grid time (first tick + k * interval) is summarised as mean, 99th
// percentile and maximum in microseconds. The long-run tempo error is the least-squares slope of
// the tick times against the nominal interval, in parts per million. CPU time is the process's
// user + system time over the run. The baseline thread gets the same processor and priority and
// sleeps with clock_nanosleep to each absolute grid time, with no spinning. A third, "hybrid",
// sleeps the same way to 200 us before each grid time and spins on the clock for the rest.
//
// Run: build/Bench/timer_jitter      (under a minute)

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "Core/Timer.h"
#include "Platform/Clock.h"
#include "Platform/Thread.h"

namespace {

struct Run {
    double intervalMs;
    int ticks;
};

// 6 s, 5 s and 4.5 s for each of the three methods.
constexpr Run Runs[] = {{500.0, 12}, {20.0, 250}, {1.79, 2500}};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

const char* SchedulingOfThisThread()
{
    int policy = 0;
    sched_param parameters{};
    pthread_getschedparam(pthread_self(), &policy, &parameters);
    return policy == SCHED_FIFO ? "SCHED_FIFO 1" : "normal (real-time refused)";
}

// Tick times in clock nanoseconds, stored without allocating on the tick path.
class TickRecorder final : public Core::ITimerEventHandler {
public:
    TickRecorder(Core::Timer& timer, int ticks) : _timer(timer), _times(static_cast<std::size_t>(ticks)) {}
    void OnTimer() override
    {
        const std::int64_t now = Platform::Clock::Now();
        if (_count == 0) {
            _grid0 = _timer.DueTime();
            _scheduling = SchedulingOfThisThread();
        }
        _times[_count++] = now;
        if (_count == _times.size())
            _timer.Stop();
    }
    const std::vector<std::int64_t>& Times() const { return _times; }
    std::int64_t Grid0() const { return _grid0; }
    const char* Scheduling() const { return _scheduling; }

private:
    Core::Timer& _timer;
    std::vector<std::int64_t> _times;
    std::size_t _count = 0;
    std::int64_t _grid0 = 0;
    const char* _scheduling = "";
};

struct Figures {
    double meanUs, p99Us, maxUs, tempoPpm, cpuMs, wallS;
};

Figures Summarise(const std::vector<std::int64_t>& times, std::int64_t grid0, std::int64_t intervalNs,
                  double intervalMs, double cpuSeconds)
{
    std::vector<double> deviations;
    for (std::size_t k = 1; k < times.size(); ++k)
        deviations.push_back(static_cast<double>(times[k] - (grid0 + static_cast<std::int64_t>(k) * intervalNs)) / 1e3);
    double sum = 0;
    for (double d : deviations)
        sum += d;
    std::vector<double> sorted = deviations;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t p99 = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(sorted.size()))) - 1;

    // Least-squares slope of tick time against tick number, relative to the nominal interval.
    const double n = static_cast<double>(times.size());
    double sk = 0, st = 0, skk = 0, skt = 0;
    for (std::size_t k = 0; k < times.size(); ++k) {
        const double kk = static_cast<double>(k);
        const double t = static_cast<double>(times[k] - times[0]);
        sk += kk;
        st += t;
        skk += kk * kk;
        skt += kk * t;
    }
    const double slope = (n * skt - sk * st) / (n * skk - sk * sk);
    const double nominal = intervalMs * 1e6;
    return Figures{sum / static_cast<double>(deviations.size()),
                   sorted[p99],
                   sorted.back(),
                   (slope / nominal - 1.0) * 1e6,
                   cpuSeconds * 1e3,
                   static_cast<double>(times.back() - times.front()) / 1e9};
}

void Print(const char* method, const Run& run, const Figures& f)
{
    std::printf("%8.2f ms  %-6s %6d  %9.1f  %9.1f  %9.1f  %+10.2f  %9.1f  %5.1f%%\n", run.intervalMs, method, run.ticks,
                f.meanUs, f.p99Us, f.maxUs, f.tempoPpm, f.cpuMs, f.cpuMs / 10.0 / f.wallS);
    std::fflush(stdout);
}

void RunTimer(const Run& run)
{
    Core::Timer timer;
    TickRecorder recorder(timer, run.ticks);
    const double cpuBefore = CpuSeconds();
    if (!timer.Start(&recorder, Core::Interval(run.intervalMs))) {
        std::printf("timer did not start\n");
        return;
    }
    timer.Join();
    const double cpu = CpuSeconds() - cpuBefore;
    const auto intervalNs = static_cast<std::int64_t>(run.intervalMs * Platform::Clock::Frequency / 1000.0);
    Print("timer", run, Summarise(recorder.Times(), recorder.Grid0(), intervalNs, run.intervalMs, cpu));
}

// Sleeps to each absolute grid time less `spinMarginNs`, then spins on the clock for the rest.
void RunSleepBaseline(const Run& run, const char* method, std::int64_t spinMarginNs)
{
    std::vector<std::int64_t> times(static_cast<std::size_t>(run.ticks));
    const auto intervalNs = static_cast<std::int64_t>(run.intervalMs * Platform::Clock::Frequency / 1000.0);
    const double cpuBefore = CpuSeconds();
    std::thread sleeper([&] {
        Platform::Thread::PinToFirstProcessor();
        Platform::Thread::RaiseToRealTime();
        const std::int64_t start = Platform::Clock::Now();
        times[0] = start;
        for (std::size_t k = 1; k < times.size(); ++k) {
            const std::int64_t due = start + static_cast<std::int64_t>(k) * intervalNs;
            const std::int64_t wake = due - spinMarginNs;
            timespec until{static_cast<time_t>(wake / 1000000000), static_cast<long>(wake % 1000000000)};
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {}
            std::int64_t now = Platform::Clock::Now();
            while (now < due)
                now = Platform::Clock::Now();
            times[k] = now;
        }
        Platform::Thread::RestoreProcessors();
    });
    sleeper.join();
    const double cpu = CpuSeconds() - cpuBefore;
    Print(method, run, Summarise(times, times[0], intervalNs, run.intervalMs, cpu));
}

}  // namespace

int main()
{
    std::printf("Tick deviation from the grid (late is positive), tempo error and CPU time per interval.\n");
    std::printf("timer: sleep, then spin on the clock; sleep: clock_nanosleep to each absolute grid time;\n");
    std::printf("hybrid: clock_nanosleep to 200 us before each grid time, then spin.\n\n");
    std::printf("%11s  %-6s %6s  %9s  %9s  %9s  %10s  %9s  %6s\n", "interval", "method", "ticks", "mean us", "p99 us",
                "max us", "tempo ppm", "CPU ms", "CPU");
    const char* scheduling = "";
    for (const Run& run : Runs) {
        RunTimer(run);
        RunSleepBaseline(run, "sleep", 0);
        RunSleepBaseline(run, "hybrid", 200000);
    }
    {
        // Which priority the worker threads actually ran at on this machine.
        Core::Timer timer;
        TickRecorder probe(timer, 1);
        if (timer.Start(&probe, Core::Interval(20.0))) {
            timer.Join();
            scheduling = probe.Scheduling();
        }
    }
    std::printf("\nworker scheduling: %s, pinned to CPU 0\n", scheduling);
    return 0;
}
