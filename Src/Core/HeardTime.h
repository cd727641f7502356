#pragma once

#include <cstdint>
#include <functional>

namespace Core {

// What the eye sees follows the ear: a beat is shown when its tick is heard. The timer works out
// that time once per tick (TickTime::heardAt); the windows that show beats wait for it here.
class HeardTime {
public:
    // A tick heard further ahead than this is shown at once: a delay that large is a fault.
    static constexpr std::int64_t LongestWait = 500'000'000;

    // Waits until the clock reads `heardAt` (ns; 0 or a passed time: not at all), in short naps
    // so that the waiting thread can be stopped: it returns false as soon as `keepWaiting` says
    // no, true once the time has come.
    static bool WaitUntil(std::int64_t heardAt, const std::function<bool()>& keepWaiting);
    // What the eye sees waits for the heard time moved by the visual latency offset, which
    // makes up for headphones that sound late (positive: later) or a display that shows late
    // (negative: sooner; no sooner than the tick is handed over, a lead of the output's
    // latency).
    static bool WaitToShow(std::int64_t heardAt, const std::function<bool()>& keepWaiting);
    static constexpr int LargestOffsetMs = 200;
    // Any thread; brought into -200..+200 ms.
    static void SetVisualOffsetMs(int milliseconds) noexcept;
    static int VisualOffsetMs() noexcept;
    // The time to show a tick heard at `heardAt` (0, "at once", stays 0).
    static std::int64_t SeenAt(std::int64_t heardAt) noexcept;
    // The clock time now, in ns.
    static std::int64_t Now() noexcept;
};

}  // namespace Core
