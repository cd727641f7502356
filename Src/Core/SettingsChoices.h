#pragma once

#include <cstdint>

#include "Configuration/ConfigurationData.h"
#include "Core/SoundEngines.h"

namespace Core {

// The settings record stores its choices as the integers its file holds; the engine reads them
// as these.

// The beat a run plays (BeatType); a number beyond these plays nothing.
enum class BeatType : std::uint32_t { SimpleBeat = 0, BeatsPerBar = 1, CustomPattern = 2, CustomRhythm = 3 };

// What sets the tempo of a run (SpeedTrainer): the user, the speed trainer's curve, or nobody
// while the step sequencer previews its grid.
enum class Trainer { Off, Curve, StepSequencerPreview };

inline BeatType BeatTypeOf(const Configuration::ConfigurationData& settings) noexcept
{
    return static_cast<BeatType>(settings.BeatType);
}

inline Trainer TrainerOf(const Configuration::ConfigurationData& settings) noexcept
{
    if (settings.SpeedTrainer == 0)
        return Trainer::Off;
    return settings.SpeedTrainer == Configuration::ConfigurationData::StepSequencerPreview
        ? Trainer::StepSequencerPreview
        : Trainer::Curve;
}

inline SoundEngines::Type SoundEngineOf(const Configuration::ConfigurationData& settings) noexcept
{
    return static_cast<SoundEngines::Type>(settings.SoundEngineType);
}

}  // namespace Core
