#pragma once

#include <cstdint>

namespace Configuration {
class ExtraSettings;
}

namespace Core {

// The count-in before a run: off, one or two bars of the run's meter, or one to eight beats,
// played on the run's own grid with a sound of its own (the side stick unless the user chose
// another). The run's first click falls one beat after the count-in's last.
struct CountIn {
    enum class Length : std::int32_t { Off = 0, Bars = 1, Beats = 2 };
    static constexpr std::int32_t MaxBars = 2;
    static constexpr std::int32_t MaxBeats = 8;
    static constexpr std::uint32_t SideStickRow = 43;  // the percussion-table row of the side stick
    static constexpr std::uint32_t DefaultVolume = 100;

    Length length = Length::Off;
    std::int32_t amount = 1;                  // bars (1..2) or beats (1..8)
    std::uint32_t instrument = SideStickRow;  // percussion-table row (the MIDI engine's sound)
    std::uint32_t volume = DefaultVolume;     // 0..127, scaled by the global volume as every voice

    // Beats of count-in before a run whose bar has `beatsPerBar` beats (a bar of no beats
    // counts as four).
    std::int32_t Beats(std::int32_t beatsPerBar) const noexcept;
    // The count shown on count-in beat `beat` (0-based): 1, 2 ... up to the bar's beats, again.
    static std::int32_t Count(std::int32_t beat, std::int32_t beatsPerBar) noexcept;

    // The count-in of the second settings file ("countin." keys); values out of range are the
    // defaults.
    static CountIn Read(const Configuration::ExtraSettings& extras);
    void Write(Configuration::ExtraSettings& extras) const;
};

}  // namespace Core
