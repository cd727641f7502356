#pragma once

#include <chrono>
#include <cstdint>

#include "Core/HeardTime.h"
#include "Platform/OutputFrame.h"

namespace Core {

// The time between two ticks, in milliseconds with their fraction (60000 / bpm and its parts).
using Interval = std::chrono::duration<double, std::milli>;

// When a tick sounds, worked out once by the timer and handed on with it: the output frame its
// clicks start on, and the moment it is heard, when the beat indicator and the
// step sequencer's cursor show it.
struct TickTime {
    // At once when the timer does not run on the output's frames.
    Platform::OutputFrame frame;
    Moment heardAt;
};

}  // namespace Core
