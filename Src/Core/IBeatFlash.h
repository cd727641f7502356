#pragma once

#include <cstdint>

#include "Core/HeardTime.h"

namespace Core {

// One click as the big flash shows it: where it falls in the bar and who plays it.
struct BeatPulse {
    std::int32_t beat = -1;   // the beat's place in its bar, 0 the first; -1 a subdivision click
    std::int32_t beats = 0;   // beats in the bar
    std::int32_t voice = -1;  // the voice the indicator shows for a beat (0 the accent)
    Moment heardAt;           // when the click is heard (the epoch: at once)
    // The even clicks a beat of the run is split into (1: the beats alone), as it plays them.
    std::int32_t subdivisions = 1;
    bool silent = false;  // in a bar left silent: shown, not heard
};

// The big flash as the engine sees it; the window behind it lives in the GUI. Unlike the small
// indicator it is told of every beat and subdivision, whether or not the indicator is on.
class IBeatFlash {
public:
    virtual ~IBeatFlash() = default;
    // Called on the timer thread for each click handed over: must not block.
    virtual void Pulse(const BeatPulse& pulse) noexcept = 0;
};

}  // namespace Core
