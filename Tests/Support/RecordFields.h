#pragma once

#include <cstdint>

#include "Configuration/ConfigurationData.h"

// The numbers of a settings record that the configuration file keeps, besides the twelve voices'
// arrays: what a round trip through the file is checked on (the tests and the fuzz target).
namespace Tests::RecordFields {

using Configuration::ConfigurationData;

inline constexpr const std::uint32_t ConfigurationData::*Integers[] = {&ConfigurationData::SoundEngineType,
                                                                       &ConfigurationData::Bpm,
                                                                       &ConfigurationData::GlobalVolume,
                                                                       &ConfigurationData::BeatType,
                                                                       &ConfigurationData::BeatsPerBar,
                                                                       &ConfigurationData::CrNumBars,
                                                                       &ConfigurationData::CrBeatsPerBar,
                                                                       &ConfigurationData::CrSubdivision,
                                                                       &ConfigurationData::CrCompoundTime,
                                                                       &ConfigurationData::DisplayedSubdiv,
                                                                       &ConfigurationData::DisplayDistinct,
                                                                       &ConfigurationData::Subdivision1,
                                                                       &ConfigurationData::Subdivision2,
                                                                       &ConfigurationData::CompoundTime,
                                                                       &ConfigurationData::VisualIndicator,
                                                                       &ConfigurationData::SpeedTrainer,
                                                                       &ConfigurationData::DurationsInBars,
                                                                       &ConfigurationData::Logarithmic,
                                                                       &ConfigurationData::Beep};

inline constexpr const float ConfigurationData::*Floats[] = {&ConfigurationData::From,   &ConfigurationData::To,
                                                             &ConfigurationData::Step,   &ConfigurationData::Duration,
                                                             &ConfigurationData::Warmup, &ConfigurationData::Warmdown};

}  // namespace Tests::RecordFields
