#pragma once

#include <cstdint>

#include "Core/HeardTime.h"

namespace Core {

// The latest beats, numbered, as one value: what a view that shows every beat (the step
// sequencer's cursor, a step per tick) reads from a Platform::LatestValue. The timer pushes each
// beat onto its copy and writes the whole; the view finds every beat it has not shown yet by
// number, as long as no more than Slots came since.
class BeatHandOver {
public:
    struct Beat {
        int voice = -1;  // 0..11, or -1 for none
        Moment heardAt;  // when it is heard; the epoch: at once
    };
    static constexpr std::uint32_t Slots = 16;

    void Push(const Beat& beat) noexcept
    {
        ++_count;
        _beats[_count % Slots] = beat;
    }
    // How many beats have been pushed.
    std::uint32_t Count() const noexcept { return _count; }
    // Beat number `number` (1..Count()); a beat of no voice at once when there is none of that
    // number, or when so many came since that its place has been taken.
    Beat At(std::uint32_t number) const noexcept
    {
        if (number == 0 || number > _count || _count - number >= Slots)
            return Beat{};
        return _beats[number % Slots];
    }

private:
    Beat _beats[Slots] = {};
    std::uint32_t _count = 0;
};

}  // namespace Core
