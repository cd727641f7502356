#pragma once

namespace Configuration {
class ConfigurationData;
}

namespace Core {

class ISpeedTrainerStrategy;

// Picks the speed trainer's tempo curve for the settings: no tempo change when the range is
// 3 bpm or less or the step is below 1 bpm, the logarithmic curve when asked for and it has
// more than four steps, otherwise the linear one if it has at least one step. Returns one of
// the three process-wide curves.
ISpeedTrainerStrategy& SelectTrainerCurve(const Configuration::ConfigurationData& settings);

}  // namespace Core
