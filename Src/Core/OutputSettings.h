#pragma once

#include <string>
#include <vector>

namespace Configuration {
class ExtraSettings;
}

namespace Core {

// Where the sound goes: kept in the second settings file under "output.".
struct OutputChoice {
    // Play as the JACK client "Ticova" (the device below is then not used).
    bool jack = false;
    // A sound device by its host API and name ("ALSA", "pulse"); both empty: the system's default.
    std::string hostApi;
    std::string device;

    bool operator==(const OutputChoice&) const = default;
};

// One output the sound device driver offers, with the latency its stream asks for.
struct OutputEntry {
    std::string hostApi;
    std::string device;
    int latencyMs = 0;
};

// Where the MIDI engine's notes go: kept under "midi.".
struct MidiChoice {
    enum Target : int { Synth = 0, Jack = 1, Alsa = 2 };
    static constexpr int DefaultChannel = 10;
    Target target = Synth;
    int channel = DefaultChannel;  // 1 to 16, for another synthesizer

    bool operator==(const MidiChoice&) const = default;
};

OutputChoice ReadOutputChoice(const Configuration::ExtraSettings& settings);
void WriteOutputChoice(Configuration::ExtraSettings& settings, const OutputChoice& choice);
// Hands the choice to the program's output (it takes effect when the output next opens) and has
// the output's notices (a chosen device gone) written to the log.
void ApplyOutputChoice(const OutputChoice& choice);
MidiChoice ReadMidiChoice(const Configuration::ExtraSettings& settings);
void WriteMidiChoice(Configuration::ExtraSettings& settings, const MidiChoice& choice);
// Hands the choice to the MIDI output: it takes effect with the next start.
void ApplyMidiChoice(const MidiChoice& choice);

// The sound device outputs, as the sound system lists them (the default is not among them).
std::vector<OutputEntry> ListOutputs();

// The SoundFont the General MIDI sounds come from (the file loaded, or to be loaded).
std::string CurrentSoundFont();
// Loads another SoundFont for the General MIDI sounds; on failure the one loaded stays and
// `problem` says why.
bool ChangeSoundFont(const std::string& path, std::string& problem);

}  // namespace Core
