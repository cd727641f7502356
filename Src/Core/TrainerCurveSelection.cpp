#include "Core/TrainerCurveSelection.h"

#include <cstdlib>

#include "Configuration/ConfigurationData.h"
#include "Core/LinearTrainerStrategy.h"
#include "Core/LogarithmicTrainerStrategy.h"
#include "Core/NoTempoChangeTrainerStrategy.h"
#include "Core/SettingsRange.h"

namespace Core {

ISpeedTrainerStrategy& SelectTrainerCurve(const Configuration::ConfigurationData& settings)
{
    static LinearTrainerStrategy linear;
    static LogarithmicTrainerStrategy logarithmic;
    static NoTempoChangeTrainerStrategy noChange;

    const float t = static_cast<float>(SettingsRange::Bpm(settings));
    const std::int32_t from = static_cast<std::int32_t>(SettingsRange::From(settings) * t);
    const std::int32_t to = static_cast<std::int32_t>(SettingsRange::To(settings) * t);
    const std::int32_t r = std::abs(to - from);
    if (r <= 3)
        return noChange;

    const float stepBpm = SettingsRange::Step(settings) * static_cast<float>(r);
    if (stepBpm < 1.0f)
        return noChange;

    const float steps = static_cast<float>(r) / stepBpm;
    const float m = steps + 0.5f;
    if (settings.Logarithmic != 0 && m > 4.0f)
        return logarithmic;
    if (m > 1.0f)
        return linear;
    return noChange;
}

}  // namespace Core
