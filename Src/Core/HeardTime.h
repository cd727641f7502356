#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

#include "Platform/LatestValue.h"

namespace Core {

// The clock by which what is heard is timed: the system's monotonic clock (Platform::Clock).
struct HeardClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<HeardClock>;
    static constexpr bool is_steady = true;
    static time_point now() noexcept;
};

// A moment on that clock; the clock's epoch (a value made by default) means "at once".
using Moment = HeardClock::time_point;

// What the eye sees follows the ear: a beat is shown when its tick is heard. The timer works out
// that time once per tick (TickTime::heardAt); the windows that show beats wait for it here.
class HeardTime {
public:
    // A tick heard further ahead than this is shown at once: a delay that large is a fault.
    static constexpr std::chrono::nanoseconds LongestWait = std::chrono::milliseconds(500);

    // Waits until the clock reads `heardAt` (the epoch or a passed time: not at all), in short
    // naps so that the waiting thread can be stopped: it returns false as soon as `keepWaiting`
    // says no, true once the time has come.
    static bool WaitUntil(Moment heardAt, const std::function<bool()>& keepWaiting);
    // The clock time now.
    static Moment Now() noexcept { return HeardClock::now(); }
    // What the eye sees waits for the heard time moved by the visual latency offset, which
    // makes up for headphones that sound late (positive: later) or a display that shows late
    // (negative: sooner; no sooner than the tick is handed over, a lead of the output's
    // latency).
    static bool WaitToShow(Moment heardAt, const std::function<bool()>& keepWaiting);
    // The same in one sleep, for a thread woken through `latest`: its Wake (a stop) ends the
    // sleep at once, a newer value wakes it and it sleeps on. Naps to look at `keepWaiting` woke
    // a beat display's thread some twenty times a second while it played.
    template <typename T, typename KeepWaiting>
    static bool WaitToShow(const Platform::LatestValue<T>& latest, Moment heardAt, const KeepWaiting& keepWaiting)
    {
        const Moment at = SeenAt(heardAt);
        if (AtOnce(at, Now()))
            return keepWaiting();
        for (;;) {
            // The version before the look at `keepWaiting`: a stop's Wake after it ends the sleep.
            const std::uint32_t version = latest.Version();
            if (!keepWaiting())
                return false;
            if (Now() >= at)
                return true;
            latest.WaitForNewerUntil(version, at.time_since_epoch().count());
        }
    }
    static constexpr int LargestOffsetMs = 200;
    // Any thread; brought into -200..+200 ms.
    static void SetVisualOffsetMs(int milliseconds) noexcept;
    static int VisualOffsetMs() noexcept;
    // The time to show a tick heard at `heardAt` (the epoch, "at once", stays so).
    static Moment SeenAt(Moment heardAt) noexcept;

    // The loop of a thread that shows what the timer hands over: it sleeps until `latest` holds a
    // value newer than version `seen`, takes the newest (a value with the moment it is heard,
    // `heardAt`), waits for that moment moved by the visual offset, and shows it. It returns once
    // `running` is false (set it, then wake `latest`).
    template <typename T, typename Show>
    static void ShowEachWhenSeen(const Platform::LatestValue<T>& latest, std::uint32_t seen,
                                 const std::atomic<bool>& running, Show show)
    {
        const auto keepWaiting = [&running] { return running.load(std::memory_order_acquire); };
        for (;;) {
            latest.WaitForNewer(seen);
            if (!keepWaiting())
                return;
            seen = latest.Version();
            const T thing = latest.Read();
            if (!WaitToShow(latest, thing.heardAt, keepWaiting))
                return;
            show(thing);
        }
    }

private:
    // Not waited for: the epoch ("at once"), or a time further off than a fault would put it.
    static bool AtOnce(Moment at, Moment now) noexcept { return at <= Moment() || at - now > LongestWait; }
};

}  // namespace Core
