#pragma once

#include <atomic>
#include <cstdint>

#include "Core/HeardTime.h"

namespace Core {

// Beats handed from the timer thread to a thread that shows them: the timer pushes each beat with
// two stores and a count (no lock, no system call); the showing thread reads them by number.
// One thread pushes.
class BeatHandOver {
public:
    struct Beat {
        int voice = -1;  // 0..11, or -1 for none
        Moment heardAt;  // when it is heard; the epoch: at once
    };
    static constexpr std::uint32_t Slots = 64;

    void Push(const Beat& beat) noexcept
    {
        const std::uint32_t next = _count.load(std::memory_order_relaxed) + 1;
        _voices[next % Slots].store(beat.voice, std::memory_order_relaxed);
        _times[next % Slots].store(beat.heardAt.time_since_epoch().count(), std::memory_order_relaxed);
        _count.store(next, std::memory_order_release);
    }
    // How many beats have been pushed.
    std::uint32_t Count() const noexcept { return _count.load(std::memory_order_acquire); }
    // Beat number `number` (1..Count()); a beat of no voice at once when there is none of that
    // number, or when so many came since that its place has been taken.
    Beat At(std::uint32_t number) const noexcept
    {
        const std::uint32_t count = Count();
        if (number == 0 || number > count || count - number >= Slots)
            return Beat{};
        return Beat{_voices[number % Slots].load(std::memory_order_relaxed),
                    Moment(HeardClock::duration(_times[number % Slots].load(std::memory_order_relaxed)))};
    }

private:
    std::atomic<int> _voices[Slots] = {};
    std::atomic<HeardClock::rep> _times[Slots] = {};
    std::atomic<std::uint32_t> _count{0};
};

}  // namespace Core
