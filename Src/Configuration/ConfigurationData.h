#pragma once

#include <cstdint>

namespace Core {
class ISpeedTrainerStrategy;
}

namespace Configuration {

// The one record of everything the metronome plays and shows. The current settings are one
// such record; every preset is another, linked into the preset tree by its last three fields.
class ConfigurationData {
public:
    static constexpr int NumVoices = 12;
    static constexpr int PresetNameCapacity = 80;
    static constexpr int DescriptionCapacity = 256;
    static constexpr int CustomPatternCapacity = 128;
    static constexpr int CustomRhythmCapacity = 512;
    static constexpr int FileCapacity = 772;

    // Constructs with every setting at its default. The run-time fields are zeroed only so that
    // nothing holds an indeterminate value; the metronome's start writes them before use.
    ConfigurationData() noexcept;
    // The voices of a first start, when there is no configuration file at all: the accent, the
    // beats and the subdivisions each get their own instrument and colour, the accent a little
    // louder, so that a bar is heard and seen from the first click. Records made otherwise, and
    // files that lack these keys, keep the defaults above.
    void SetFirstStartVoices() noexcept;
    // Copies the settings (not the run-time fields, not the tree links and balance).
    ConfigurationData& operator=(const ConfigurationData& other) noexcept;
    // A copy-constructed record is a default record with the settings copied in.
    ConfigurationData(const ConfigurationData& other) noexcept;

    // Run-time fields, written by the metronome's start.
    std::int32_t TicksPerBeat;
    std::int32_t TrainerBeatsPerBar;
    Core::ISpeedTrainerStrategy* TrainerCurve;

    char16_t PresetName[PresetNameCapacity];
    char16_t Description[DescriptionCapacity];
    std::uint32_t SoundEngineType;
    std::uint32_t Bpm;
    std::uint32_t GlobalVolume;
    std::uint32_t BeatType;
    std::uint32_t BeatsPerBar;
    char16_t CustomPattern[CustomPatternCapacity];
    char16_t CustomRhythm[CustomRhythmCapacity];
    std::uint32_t CrNumBars;
    std::uint32_t CrBeatsPerBar;
    std::uint32_t CrSubdivision;
    std::uint32_t CrCompoundTime;
    std::uint32_t DisplayedSubdiv;
    std::uint32_t DisplayDistinct;
    std::uint32_t Subdivision1;
    std::uint32_t Subdivision2;
    std::uint32_t CompoundTime;
    std::uint32_t VisualIndicator;
    std::uint32_t SpeedTrainer;
    // SpeedTrainer of a step sequencer preview: it plays the grid with the cursor, no trainer.
    static constexpr std::uint32_t StepSequencerPreview = 5;
    std::uint32_t DurationsInBars;
    std::uint32_t Logarithmic;
    std::uint32_t Beep;
    float From;
    float To;
    float Step;
    float Duration;
    float Warmup;
    float Warmdown;
    std::uint32_t Instrument[NumVoices];
    std::uint32_t Volume[NumVoices];
    std::uint32_t Size[NumVoices];
    std::uint32_t Colour[NumVoices];
    char16_t File[NumVoices][FileCapacity];

    // Preset tree links (owned by the preset store).
    std::int16_t Balance;
    ConfigurationData* Left;
    ConfigurationData* Right;

private:
    void CopySettings(const ConfigurationData& other) noexcept;
};

}  // namespace Configuration
