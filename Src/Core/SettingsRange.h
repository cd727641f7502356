#pragma once

#include <cstdint>

#include "Configuration/ConfigurationData.h"

namespace Core {

// The engine reads settings through these: a value outside what the configuration file
// accepts (a record filled by hand, or by a test) is brought to the nearest accepted one, so
// that no table is indexed outside its bounds and no interval is divided by zero.
namespace SettingsRange {

inline std::uint32_t Clamp(std::uint32_t value, std::uint32_t low, std::uint32_t high) noexcept
{
    return value < low ? low : (value > high ? high : value);
}

inline std::int32_t ClampSigned(std::int32_t value, std::int32_t low, std::int32_t high) noexcept
{
    return value < low ? low : (value > high ? high : value);
}

// A value that is not a number becomes the lower bound.
inline float Clamp(float value, float low, float high) noexcept
{
    if (!(value >= low))
        return low;
    return value > high ? high : value;
}

// Longest pattern and rhythm, in entries and steps.
inline constexpr std::int32_t MaxPatternLength = 512;

inline std::uint32_t Bpm(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.Bpm, 10u, 400u);
}
inline std::uint32_t GlobalVolume(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.GlobalVolume, 0u, 100u);
}
inline std::uint32_t BeatsPerBar(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.BeatsPerBar, 2u, 60u);
}
inline std::uint32_t CrBeatsPerBar(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.CrBeatsPerBar, 0u, 16u);
}
inline std::uint32_t CrSubdivision(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.CrSubdivision, 0u, 8u);
}
inline std::uint32_t Subdivision1(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.Subdivision1, 0u, 8u);
}
inline std::uint32_t Subdivision2(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.Subdivision2, 0u, 8u);
}
inline float From(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.From, 0.0f, 1.0f);
}
inline float To(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.To, 0.0f, 1.0f);
}
inline float Step(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.Step, 0.0001f, 1.0f);
}
inline float Duration(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.Duration, 0.01f, 1000.0f);
}
inline float Warmup(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.Warmup, 0.0f, 1000.0f);
}
inline float Warmdown(const Configuration::ConfigurationData& s) noexcept
{
    return Clamp(s.Warmdown, 0.0f, 1000.0f);
}
inline std::uint32_t Volume(std::uint32_t volume) noexcept
{
    return Clamp(volume, 0u, 127u);
}

// The run-time fields, written by the metronome's start; never more than a pattern's length.
inline std::int32_t TicksPerBeat(const Configuration::ConfigurationData& s) noexcept
{
    return ClampSigned(s.TicksPerBeat, 0, MaxPatternLength);
}
inline std::int32_t TrainerBeatsPerBar(const Configuration::ConfigurationData& s) noexcept
{
    return ClampSigned(s.TrainerBeatsPerBar, 0, MaxPatternLength);
}

}  // namespace SettingsRange

}  // namespace Core
