#include "Configuration/ConfigurationData.h"

#include <cstring>
#include <iterator>

namespace Configuration {

namespace {

template <std::size_t N>
void CopyString(char16_t (&destination)[N], const char16_t (&source)[N]) noexcept
{
    std::size_t n = 0;
    while (n < N - 1 && source[n] != 0) {
        destination[n] = source[n];
        ++n;
    }
    destination[n] = 0;
}

}  // namespace

ConfigurationData::ConfigurationData() noexcept
    : TicksPerBeat(0), TrainerBeatsPerBar(0), TrainerCurve(nullptr), SoundEngineType(0), Bpm(120), GlobalVolume(100),
      BeatType(0), BeatsPerBar(4), CrNumBars(1), CrBeatsPerBar(4), CrSubdivision(2), CrCompoundTime(0),
      DisplayedSubdiv(2), DisplayDistinct(1), Subdivision1(0), Subdivision2(0), CompoundTime(0), VisualIndicator(1),
      SpeedTrainer(0), DurationsInBars(0), Logarithmic(0), Beep(1), From(0.5f), To(1.0f), Step(0.1f), Duration(5.0f),
      Warmup(1.0f), Warmdown(1.0f), Balance(0), Left(nullptr), Right(nullptr)
{
    PresetName[0] = 0;
    Description[0] = 0;
    CustomPattern[0] = 0;
    CustomRhythm[0] = 0;
    for (int voice = 0; voice < NumVoices; ++voice) {
        Instrument[voice] = 1;
        Volume[voice] = 127;
        Size[voice] = 7;
        Colour[voice] = 11;
        File[voice][0] = 0;
    }
}

void ConfigurationData::SetFirstStartVoices() noexcept
{
    // Voice 1: the first beat of a bar or pattern; 2: the other beats of a bar and the first
    // beats of later groups; 3: the other beats of a group; 4 and 5: the two subdivisions.
    // Instruments are rows of the percussion list, colours entries of the voice palette.
    struct Voice {
        std::uint32_t instrument, volume, size, colour;
    };
    constexpr Voice voices[] = {
        {18, 127, 7, 1},  // Hi Wood Block, red
        {28, 105, 6, 0},  // Low Wood Block, blue
        {43, 100, 6, 9},  // Side Stick, green
        {6, 85, 4, 3},    // Closed Hi-Hat, yellow
        {37, 85, 4, 8},   // Pedal Hi-hat, orange
    };
    for (std::size_t voice = 0; voice < std::size(voices); ++voice) {
        Instrument[voice] = voices[voice].instrument;
        Volume[voice] = voices[voice].volume;
        Size[voice] = voices[voice].size;
        Colour[voice] = voices[voice].colour;
    }
}

ConfigurationData::ConfigurationData(const ConfigurationData& other) noexcept : ConfigurationData()
{
    CopySettings(other);
}

ConfigurationData& ConfigurationData::operator=(const ConfigurationData& other) noexcept
{
    if (this != &other)
        CopySettings(other);
    return *this;
}

void ConfigurationData::CopySettings(const ConfigurationData& other) noexcept
{
    CopyString(PresetName, other.PresetName);
    CopyString(Description, other.Description);
    SoundEngineType = other.SoundEngineType;
    Bpm = other.Bpm;
    GlobalVolume = other.GlobalVolume;
    BeatType = other.BeatType;
    BeatsPerBar = other.BeatsPerBar;
    CopyString(CustomPattern, other.CustomPattern);
    CopyString(CustomRhythm, other.CustomRhythm);
    CrNumBars = other.CrNumBars;
    CrBeatsPerBar = other.CrBeatsPerBar;
    CrSubdivision = other.CrSubdivision;
    CrCompoundTime = other.CrCompoundTime;
    DisplayedSubdiv = other.DisplayedSubdiv;
    DisplayDistinct = other.DisplayDistinct;
    Subdivision1 = other.Subdivision1;
    Subdivision2 = other.Subdivision2;
    CompoundTime = other.CompoundTime;
    VisualIndicator = other.VisualIndicator;
    SpeedTrainer = other.SpeedTrainer;
    DurationsInBars = other.DurationsInBars;
    Logarithmic = other.Logarithmic;
    Beep = other.Beep;
    From = other.From;
    To = other.To;
    Step = other.Step;
    Duration = other.Duration;
    Warmup = other.Warmup;
    Warmdown = other.Warmdown;
    std::memcpy(Instrument, other.Instrument, sizeof Instrument);
    std::memcpy(Volume, other.Volume, sizeof Volume);
    std::memcpy(Size, other.Size, sizeof Size);
    std::memcpy(Colour, other.Colour, sizeof Colour);
    for (int voice = 0; voice < NumVoices; ++voice)
        CopyString(File[voice], other.File[voice]);
}

}  // namespace Configuration
