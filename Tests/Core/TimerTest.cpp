#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

#include "Core/Timer.h"
#include "Platform/AutoResetEvent.h"

using Core::Timer;

namespace {

constexpr std::int64_t Ms = 1000000;  // clock counts (ns) per millisecond

// A clock that moves only when the timer reads or waits on it, so a whole run is computed
// without real time passing. Every read advances it by one microsecond; a wait that is not cut
// short by the event advances it to what `wake` says (by default: exactly the time asked for).
// It is used by the worker thread alone; the test reads it after joining the worker.
class FakeClock final : public Timer::IClock {
public:
    std::int64_t Now() override
    {
        const std::int64_t now = time;
        time += Step;
        ++readsSinceWait;
        if (onRead)
            onRead(readsSinceWait);
        return now;
    }
    double Frequency() override { return 1e9; }
    bool Spins() override { return spins; }
    void Nap() override
    {
        time += NapCounts;
        ++naps;
    }
    void Wait(Platform::AutoResetEvent& event, int milliseconds) override
    {
        waits.push_back(milliseconds);
        readsSinceWait = 0;
        if (event.Wait(0))
            return;
        time = wake ? wake(static_cast<int>(waits.size()) - 1, milliseconds, time) : time + milliseconds * Ms;
    }

    static constexpr std::int64_t Step = 1000;
    static constexpr std::int64_t NapCounts = 200'000;
    bool spins = true;  // false: the output's frames, which the worker naps on
    int naps = 0;
    std::int64_t time = 5000 * Ms;
    int readsSinceWait = 0;
    std::vector<int> waits;
    std::function<std::int64_t(int index, int milliseconds, std::int64_t now)> wake;
    std::function<void(int readsSinceWait)> onRead;
};

// Records each tick's grid time and the clock when it was delivered; `onTick` runs inside
// OnTimer with the tick's number (0 for the first), as speed-trainer code does.
class Recorder final : public Core::ITimerEventHandler {
public:
    Recorder(Timer& timer, FakeClock& clock) : _timer(timer), _clock(clock) {}
    void OnTimer() override
    {
        due.push_back(_timer.DueTime());
        delivered.push_back(_clock.time);
        waitsBefore.push_back(_clock.waits.size());
        if (onTick)
            onTick(static_cast<int>(due.size()) - 1);
    }

    std::vector<std::int64_t> due;
    std::vector<std::int64_t> delivered;
    std::vector<std::size_t> waitsBefore;
    std::function<void(int tick)> onTick;

private:
    Timer& _timer;
    FakeClock& _clock;
};

class TimerTest : public ::testing::Test {
protected:
    // Runs until the tick numbered `lastTick` stops the timer from inside OnTimer.
    void RunUntil(int lastTick, double intervalMs, std::function<void(int)> also = nullptr)
    {
        recorder.onTick = [this, lastTick, also](int tick) {
            if (also)
                also(tick);
            if (tick == lastTick)
                timer.Stop();
        };
        ASSERT_TRUE(timer.Start(&recorder, Core::Interval(intervalMs)));
        timer.Join();
    }

    FakeClock clock;
    Timer timer{&clock};
    Recorder recorder{timer, clock};
};

}  // namespace

TEST_F(TimerTest, FirstTickComesAtOnceBeforeAnyWait)
{
    const std::int64_t started = clock.time;
    RunUntil(0, 500);
    ASSERT_EQ(recorder.due.size(), 1u);
    EXPECT_EQ(recorder.waitsBefore[0], 0u);
    EXPECT_LE(recorder.delivered[0] - started, 10 * FakeClock::Step);
    EXPECT_TRUE(clock.waits.empty());
    EXPECT_FALSE(timer.IsRunning());
}

TEST_F(TimerTest, TicksStayOnTheGridWhenWakingLate)
{
    // Every wake is 5 ms late: each tick is delivered late, yet the grid does not move.
    clock.wake = [](int, int milliseconds, std::int64_t now) { return now + (milliseconds + 5) * Ms; };
    RunUntil(6, 20);
    ASSERT_EQ(recorder.due.size(), 7u);
    for (std::size_t k = 1; k < recorder.due.size(); ++k) {
        EXPECT_EQ(recorder.due[k], recorder.due[0] + static_cast<std::int64_t>(k) * 20 * Ms) << k;
        EXPECT_GE(recorder.delivered[k], recorder.due[k]) << k;
    }
}

TEST_F(TimerTest, DerivedSleepTimeAndCountsPerTick)
{
    const struct {
        double interval;
        int sleep;
        std::int64_t counts;
    } cases[] = {{500, 498, 500 * Ms}, {20, 18, 20 * Ms},  {2.5, 1, 2500000},
                 {2.49, 0, 2490000},   {1.79, 0, 1790000}, {0.5, 0, 500000}};
    for (const auto& c : cases) {
        timer.SetInterval(Core::Interval(c.interval));
        EXPECT_EQ(timer.SleepTime(), c.sleep) << c.interval;
        EXPECT_EQ(timer.CountsPerTick(), c.counts) << c.interval;
    }
}

TEST_F(TimerTest, ShortIntervalsSpinThroughTheWholeInterval)
{
    RunUntil(8, 1.79);
    EXPECT_EQ(clock.waits, std::vector<int>(8, 0));
    for (std::size_t k = 1; k < recorder.due.size(); ++k)
        EXPECT_EQ(recorder.due[k] - recorder.due[k - 1], 1790000) << k;
}

TEST_F(TimerTest, IntervalChangeByATickStartsTheNewGridAtThatTicksDueTime)
{
    RunUntil(6, 20, [&](int tick) {
        if (tick == 3) {
            clock.time += 3 * Ms;  // the tick itself takes a while
            timer.SetInterval(Core::Interval(50));
        }
    });
    ASSERT_EQ(recorder.due.size(), 7u);
    // No tick at the change; the next one a whole new interval after the changing tick's due
    // time, however long that tick took.
    EXPECT_EQ(recorder.due[4] - recorder.due[3], 50 * Ms);
    EXPECT_EQ(recorder.due[5] - recorder.due[4], 50 * Ms);
    EXPECT_EQ(recorder.due[6] - recorder.due[5], 50 * Ms);
}

TEST_F(TimerTest, IntervalChangeFromOutsideATickCountsFromTheLastTick)
{
    bool changed = false;
    RunUntil(7, 20, [&](int tick) {
        if (tick == 3)
            clock.onRead = [&](int readsSinceWait) {
                if (readsSinceWait == 1 && !changed) {  // during the spin towards tick 4
                    changed = true;
                    timer.SetInterval(Core::Interval(50));
                }
            };
    });
    ASSERT_EQ(recorder.due.size(), 8u);
    // The spin in progress still ends in its tick on the old grid; the worker notices the change
    // at its next wake, delivers no tick then, and goes on one new interval after that tick.
    EXPECT_EQ(recorder.due[4] - recorder.due[3], 20 * Ms);
    EXPECT_EQ(recorder.due[5] - recorder.due[4], 50 * Ms);
    EXPECT_EQ(recorder.due[6] - recorder.due[5], 50 * Ms);
    EXPECT_EQ(recorder.due[7] - recorder.due[6], 50 * Ms);
}

// On a clock of output frames a period is a fraction of frames (233 bpm: 11356.22 frames): tick k
// falls on round(F0 + k * P), so the rounding never adds up, across changes from outside and from
// ticks, and when the frames the clock reads jump back (the output's loop started over after an
// underflow).
TEST(TimerFrameGrid, EveryTickFallsOnItsRoundedFrameAcrossChangesAndJumps)
{
    struct FrameClock final : Timer::IClock {
        std::int64_t Now() override { return frame += 1; }
        double Frequency() override { return 44100; }
        void Wait(Platform::AutoResetEvent& event, int milliseconds) override
        {
            if (!event.Wait(0))
                frame += milliseconds * 44;
        }
        void SleepUntil(std::int64_t deadline) override { frame = std::max(frame, deadline); }
        Platform::OutputFrame FrameOf(std::int64_t due) override { return due; }
        std::int64_t frame = 1'000'000;
    } clock;
    Timer timer(&clock);
    std::vector<std::int64_t> frames;
    struct Handler final : Core::ITimerEventHandler {
        std::function<void()> tick;
        void OnTimer() override { tick(); }
    } handler;
    handler.tick = [&] {
        frames.push_back(timer.CurrentTick().frame.Frame());
        const std::size_t n = frames.size();
        if (n == 8)
            timer.SetInterval(Core::Interval(60000.0 / 150));  // a trainer stage, from the tick
        if (n == 12)
            clock.frame -= 3000;  // the loop started over
        if (n == 16)
            std::thread([&] { timer.SetInterval(Core::Interval(60000.0 / 97)); }).join();  // from the window
        if (n == 24)
            timer.Stop();
    };
    ASSERT_TRUE(timer.Start(&handler, Core::Interval(60000.0 / 233)));
    timer.Join();
    ASSERT_EQ(frames.size(), 24u);
    const auto expectGrid = [&](std::size_t from, std::size_t to, double bpm) {
        const double period = 60.0 / bpm * 44100;
        for (std::size_t k = from; k < to; ++k)
            EXPECT_EQ(frames[k], frames[from - 1] + std::llround(static_cast<double>(k - from + 1) * period)) << k;
    };
    expectGrid(1, 8, 233);
    expectGrid(8, 16, 150);
    // The window's change, made during the sixteenth tick, takes effect from that tick on.
    expectGrid(16, 24, 97);

    // Paused and resumed: the resume's first tick starts a new grid on the frame the clock
    // reads then.
    clock.frame += 50'000;
    const std::int64_t resumedAt = clock.frame;
    handler.tick = [&] {
        frames.push_back(timer.CurrentTick().frame.Frame());
        if (frames.size() == 30)
            timer.Stop();
    };
    ASSERT_TRUE(timer.Start(&handler, Core::Interval(60000.0 / 97)));
    timer.Join();
    ASSERT_EQ(frames.size(), 30u);
    EXPECT_EQ(frames[24], resumedAt + 1);  // the first reading of the clock
    expectGrid(25, 30, 97);
}

TEST_F(TimerTest, StopDuringTheSpinFinishesItWithoutATick)
{
    bool stopped = false;
    std::int64_t deadline = 0;
    recorder.onTick = [&](int tick) {
        if (tick == 2) {
            deadline = recorder.due[2] + 20 * Ms;
            clock.onRead = [&](int readsSinceWait) {
                if (readsSinceWait == 5 && !stopped) {
                    stopped = true;
                    timer.Stop();
                }
            };
        }
    };
    ASSERT_TRUE(timer.Start(&recorder, Core::Interval(20)));
    timer.Join();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(recorder.due.size(), 3u);
    // The spin ran on to its deadline before the worker saw the stop.
    EXPECT_GE(clock.time, deadline);
    EXPECT_EQ(clock.waits.size(), 3u);
}

TEST_F(TimerTest, ThreeOvershotSleepsShortenTheSleepByOneMillisecond)
{
    // Every wake is 10 ms late, so every spin finds its deadline already passed.
    clock.wake = [](int, int milliseconds, std::int64_t now) { return now + (milliseconds + 10) * Ms; };
    RunUntil(12, 20, [&](int tick) {
        if (tick == 10)
            timer.SetInterval(Core::Interval(20));  // only an interval change gives the full sleep back
    });
    // After the change the worker waits only for what is left to the next tick, which its late
    // wake has used up; then the full sleep again.
    EXPECT_EQ(clock.waits, (std::vector<int>{18, 18, 18, 17, 17, 17, 16, 16, 16, 15, 15, 0, 18}));
}

TEST_F(TimerTest, OvershootsNeedNotFollowEachOther)
{
    // Wakes alternate between past the deadline and 1 ms before it: the count of overshoots
    // carries over the ticks in between.
    const std::int64_t start = clock.time;
    clock.wake = [start](int index, int, std::int64_t now) {
        const std::int64_t deadline = start + (index + 1) * 20 * Ms;
        return std::max(now, index % 2 == 0 ? deadline + 2 * Ms : deadline - 1 * Ms);
    };
    RunUntil(7, 20);
    EXPECT_EQ(clock.waits, (std::vector<int>{18, 18, 18, 18, 18, 17, 17}));
}

TEST_F(TimerTest, SleepNeverGoesBelowZero)
{
    clock.wake = [](int, int milliseconds, std::int64_t now) { return now + (milliseconds + 3) * Ms; };
    RunUntil(10, 2.6);
    EXPECT_EQ(clock.waits, (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(timer.CurrentSleepTime(), 0);
}

// On the output's frames a tick need only be in time: the worker naps up to it instead of
// spinning, a wake past a tick does not shorten the sleeps after it, and a clock that jumps ahead
// during a long wait (the output's lead grown) is followed within one look, not a whole interval.
TEST_F(TimerTest, OnTheOutputsFramesTheWorkerNapsAndLooksAgain)
{
    clock.spins = false;
    clock.wake = [](int, int milliseconds, std::int64_t now) { return now + (milliseconds + 10) * Ms; };
    RunUntil(8, 20);
    EXPECT_LE(clock.naps, 8 * 10) << "napped to each tick in steps";
    ASSERT_GE(clock.waits.size(), 8u);
    EXPECT_TRUE(std::all_of(clock.waits.begin() + 1, clock.waits.end(), [&](int w) { return w == clock.waits[1]; }))
        << "a late wake shortened the sleep";

    Timer longTimer{&clock};
    Recorder ticks{longTimer, clock};
    clock.wake = nullptr;
    const std::int64_t start = clock.time;
    std::int64_t jumpedAt = 0;
    clock.onRead = [&](int) {
        if (jumpedAt == 0 && clock.time > start + 300 * Ms) {
            clock.time += 500 * Ms;
            jumpedAt = clock.time;
        }
    };
    ticks.onTick = [&](int tick) {
        if (tick == 1)
            longTimer.Stop();
    };
    ASSERT_TRUE(longTimer.Start(&ticks, Core::Interval(1000)));
    longTimer.Join();
    ASSERT_EQ(ticks.due.size(), 2u);
    EXPECT_LT(ticks.delivered[1] - ticks.due[1], (Timer::LookAgainMs + 2) * Ms) << "the jump was not looked at";
}

// A tick on a timeline others change (a Link session) is looked at again every few milliseconds on
// the output's frames too, not only every look again.
TEST_F(TimerTest, OnTheOutputsFramesATickPlacedOnATimelineIsLookedAtEveryFewMilliseconds)
{
    clock.spins = false;
    std::size_t placedAfter = 0;
    RunUntil(1, 1000, [&](int tick) {
        if (tick == 0) {
            timer.PlaceNextTickAt(timer.DueTime() + 500 * Ms);
            placedAfter = clock.waits.size();
        }
    });
    ASSERT_EQ(recorder.due.size(), 2u);
    ASSERT_GT(clock.waits.size(), placedAfter + 10);
    EXPECT_TRUE(std::all_of(clock.waits.begin() + static_cast<std::ptrdiff_t>(placedAfter), clock.waits.end(),
                            [](int w) { return w <= Timer::RefineSliceMs; }))
        << "a placed tick waited longer between looks";
}

// Real clock and real threads: a pause followed at once by a resume must leave exactly one
// worker, the new one, ticking.
TEST(TimerRealClock, QuickStopThenStartNeverLeavesTheOldWorkerTicking)
{
    struct Counter final : Core::ITimerEventHandler {
        std::atomic<int> ticks{0};
        std::atomic<int>* inside = nullptr;
        std::atomic<bool>* overlapped = nullptr;
        void OnTimer() override
        {
            if (inside->fetch_add(1) != 0)
                overlapped->store(true);
            ++ticks;
            inside->fetch_sub(1);
        }
    };
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    Timer timer;
    for (int round = 0; round < 10; ++round) {
        Counter before, after;
        before.inside = after.inside = &inside;
        before.overlapped = after.overlapped = &overlapped;
        ASSERT_TRUE(timer.Start(&before, Core::Interval(5)));
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 3 * 4));
        timer.Stop();
        ASSERT_TRUE(timer.Start(&after, Core::Interval(5)));
        const int ticksBefore = before.ticks.load();
        // The new worker ticks (however slow the machine), and the old one never again.
        for (int wait = 0; wait < 5000 && after.ticks.load() < 2; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(before.ticks.load(), ticksBefore) << "round " << round;
        EXPECT_GE(after.ticks.load(), 2) << "round " << round;
        EXPECT_TRUE(timer.IsRunning());
        timer.Stop();
        timer.Join();
    }
    EXPECT_FALSE(overlapped.load());
}

// The output's frames stop (its server went away): the clock stands still short of the next tick.
// A stop from outside ends the worker at once, and a clock that is then lost ends the run by
// itself with one OnClockLost, never a tick.
TEST(TimerStandingClock, AStopOrALostClockEndsAWorkerWaitingForFramesThatDoNotCome)
{
    class StandingClock final : public Timer::IClock {
    public:
        std::int64_t Now() override { return 1000 * Ms; }
        double Frequency() override { return 1e9; }
        void Wait(Platform::AutoResetEvent& event, int milliseconds) override { event.Wait(milliseconds); }
        bool Lost() override { return lost.load(); }
        bool RealTime() override { return false; }
        std::atomic<bool> lost{false};
    };
    class Handler final : public Core::ITimerEventHandler {
    public:
        void OnTimer() override { ++ticks; }
        void OnClockLost() override { ++losses; }
        std::atomic<int> ticks{0}, losses{0};
    };
    for (const bool lose : {false, true}) {
        SCOPED_TRACE(lose ? "clock lost" : "stopped");
        StandingClock clock;
        Handler handler;
        Timer timer(&clock);
        ASSERT_TRUE(timer.Start(&handler, Core::Interval(5)));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));  // well into the spin on the second tick
        const auto before = std::chrono::steady_clock::now();
        if (lose) {
            clock.lost.store(true);
            while (timer.IsRunning() && std::chrono::steady_clock::now() - before < std::chrono::seconds(2))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else {
            timer.Stop();
        }
        timer.Join();
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50));
        EXPECT_FALSE(timer.IsRunning());
        EXPECT_EQ(handler.ticks.load(), 1);
        EXPECT_EQ(handler.losses.load(), lose ? 1 : 0);
    }
}
