#pragma once

#include <cstdint>
#include <string>

#include "Platform/Mixer.h"

namespace Platform {

class AudioOutput;
class OfflineOutput;
class SoundFontSynth;

// The MIDI output: General MIDI percussion (channel 10) from the built-in SoundFont synthesizer,
// played through the shared audio output. Calls return multimedia result codes. A note-on starts
// on the output frame its caller names (the frame of the tick that plays it), to the sample.
class MidiOut {
public:
    using Handle = MidiOut*;

    // Opens the output; *handle is null on failure. Starts the audio output and waits for the
    // SoundFont if it is still loading.
    static std::uint32_t Open(Handle* handle);
    static std::uint32_t Open(Handle* handle, AudioOutput& output, SoundFontSynth& synth);
    // Opens a device on an output its owner renders itself (a click track written to a file,
    // faster than real time): no sound card is involved.
    static std::uint32_t OpenOffline(Handle* handle, OfflineOutput& output, SoundFontSynth& synth);
    // Sends one short message (status | data1 << 8 | data2 << 16). Note-ons on channel 10 sound;
    // other channel messages are accepted and have no effect here. No allocation, no lock, no
    // system call for a note that is prepared. `frame`: the output frame a note-on starts on
    // (AnyFrame: at once).
    static std::uint32_t ShortMessage(Handle handle, std::uint32_t message, std::int64_t frame = AnyFrame) noexcept;
    // Renders the sound of a percussion note at a velocity now, so that playing it costs nothing.
    static std::uint32_t Prepare(Handle handle, int note, int velocity);
    static std::uint32_t Close(Handle handle);

    // Starts loading the SoundFont in the background; the program calls it at start-up.
    // `soundFont`: the user's choice (empty: FluidSynth's default).
    static void LoadSoundFontInBackground(const std::string& soundFont = {});

private:
    MidiOut(AudioOutput* output, Mixer& mixer, SoundFontSynth& synth, double rate)
        : _output(output), _mixer(mixer), _synth(synth), _rate(rate)
    {
    }

    AudioOutput* _output;  // null: a mixer rendered offline
    Mixer& _mixer;
    SoundFontSynth& _synth;
    double _rate;
};

}  // namespace Platform
