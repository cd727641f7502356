#include "Core/TrainerCurveSelection.h"

#include <cstdlib>

#include "Configuration/ConfigurationData.h"
#include "Core/SettingsRange.h"

namespace Core {

ISpeedTrainerStrategy& SelectTrainerCurve(const Configuration::ConfigurationData& settings)
{
    static TrainerCurves curves;
    return SelectTrainerCurve(settings, curves);
}

ISpeedTrainerStrategy& SelectTrainerCurve(const Configuration::ConfigurationData& settings, TrainerCurves& curves)
{
    const float t = static_cast<float>(SettingsRange::Bpm(settings));
    const std::int32_t from = static_cast<std::int32_t>(SettingsRange::From(settings) * t);
    const std::int32_t to = static_cast<std::int32_t>(SettingsRange::To(settings) * t);
    const std::int32_t r = std::abs(to - from);
    if (r <= 3)
        return curves.noChange;

    const float stepBpm = SettingsRange::Step(settings) * static_cast<float>(r);
    if (stepBpm < 1.0f)
        return curves.noChange;

    const float steps = static_cast<float>(r) / stepBpm;
    const float m = steps + 0.5f;
    if (settings.Logarithmic != 0 && m > 4.0f)
        return curves.logarithmic;
    if (m > 1.0f)
        return curves.linear;
    return curves.noChange;
}

}  // namespace Core
