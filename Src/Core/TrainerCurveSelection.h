#pragma once

#include "Core/LinearTrainerStrategy.h"
#include "Core/LogarithmicTrainerStrategy.h"
#include "Core/NoTempoChangeTrainerStrategy.h"

namespace Configuration {
class ConfigurationData;
}

namespace Core {

class ISpeedTrainerStrategy;

// One of each tempo curve. A curve keeps the state of the run it serves, so a run prepared while
// another plays (the next entry of a setlist) takes its curve from a set of its own.
struct TrainerCurves {
    LinearTrainerStrategy linear;
    LogarithmicTrainerStrategy logarithmic;
    NoTempoChangeTrainerStrategy noChange;
};

// Picks the speed trainer's tempo curve for the settings: no tempo change when the range is
// 3 bpm or less or the step is below 1 bpm, the logarithmic curve when asked for and it has
// more than four steps, otherwise the linear one if it has at least one step. Returns one of
// `curves`, or of the three process-wide curves.
ISpeedTrainerStrategy& SelectTrainerCurve(const Configuration::ConfigurationData& settings, TrainerCurves& curves);
ISpeedTrainerStrategy& SelectTrainerCurve(const Configuration::ConfigurationData& settings);

}  // namespace Core
