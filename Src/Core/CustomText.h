#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace Core {

// The texts of the two custom beat types: a custom pattern such as "3+3+3+2" (beats in
// groups) and a step-sequencer rhythm (one character or bracketed group per step).
namespace CustomText {

// Results; the same numbers are the metronome's start codes.
inline constexpr std::int32_t Ok = 0;
inline constexpr std::int32_t PatternMalformed = 6;
inline constexpr std::int32_t PatternTooManyBeats = 8;
inline constexpr std::int32_t PatternGroupTooLarge = 9;
inline constexpr std::int32_t RhythmMalformed = 10;
inline constexpr std::int32_t RhythmTooLong = 11;

// Limits: a pattern holds at most 511 beats with at most 109 in a group; a rhythm at most 512 steps.
inline constexpr std::int32_t MaxSteps = 512;
inline constexpr std::int32_t MaxPatternBeats = 511;
inline constexpr std::int32_t MaxGroupBeats = 109;

using StepValues = std::array<std::uint32_t, MaxSteps>;
using PatternEntries = std::array<std::uint16_t, MaxSteps>;

// Parses a custom pattern into one voice index per beat (0 the first beat, 1 the first beat
// of a later group, 2 any other beat) and, in compound time, one pattern entry per beat.
// An empty text is a pattern of no beats. Stops at the first error; outputs written before
// it are not to be used.
std::int32_t ParseCustomPattern(std::u16string_view text, bool compound, bool visual, StepValues& values,
                                PatternEntries& entries, std::int32_t& total) noexcept;

// The same checks in the same order, without output.
std::int32_t ValidateCustomPattern(std::u16string_view text) noexcept;
// A pattern that can be played: valid and at least one beat. An empty pattern stays a valid
// stored value, but played it would be silence behind a Stop button: malformed here.
std::int32_t ValidatePlayablePattern(std::u16string_view text) noexcept;

// Parses a rhythm into one value per step: its voices 1..12 packed as 4-bit fields, the first
// voice in the highest field in use (eight at most; 0 is a rest), and, in compound time, one
// pattern entry per step.
std::int32_t ParseCustomRhythm(std::u16string_view text, bool compound, bool visual, StepValues& values,
                               PatternEntries& entries, std::int32_t& total) noexcept;

// The text of a fixed-capacity field, up to its terminating zero or its capacity.
template <std::size_t N>
std::u16string_view Of(const char16_t (&text)[N]) noexcept
{
    std::size_t length = 0;
    while (length < N && text[length] != 0)
        ++length;
    return {text, length};
}

}  // namespace CustomText

}  // namespace Core
