#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "Platform/Mixer.h"

namespace Platform {

class AlsaSequencerOut;
class AudioOutput;
class OfflineOutput;
class SoundFontSynth;

// The MIDI output: General MIDI percussion (channel 10) from the built-in SoundFont synthesizer,
// played through the shared audio output, or the same notes sent to other synthesizers: on the
// JACK output's MIDI port (each on its frame) or on an ALSA sequencer port (scheduled on the
// sequencer's queue for the time its frame is heard), on a channel of the user's choice, each
// note-on followed by its note-off NoteSeconds later. Calls return multimedia result codes. A
// note-on starts on the output frame its caller names (the frame of the tick that plays it).
class MidiOut {
public:
    using Handle = MidiOut*;
    enum class Target : int { Synth = 0, Jack = 1, Alsa = 2 };
    static constexpr int DefaultChannel = 10;
    static constexpr double NoteSeconds = 0.02;

    // Where the notes of devices opened from now on go, and on which channel (1 to 16) when they
    // go to another synthesizer. A target that cannot be had (no JACK output running, no ALSA
    // sequencer) leaves the built-in synthesizer, with a notice of the output.
    static void SetTarget(Target target, int channel);

    // Opens the output; *handle is null on failure. Starts the audio output and waits for the
    // SoundFont if it is still loading.
    static std::uint32_t Open(Handle* handle);
    static std::uint32_t Open(Handle* handle, AudioOutput& output, SoundFontSynth& synth);
    // Opens a device on an output its owner renders itself (a click track written to a file,
    // faster than real time): no sound card is involved.
    static std::uint32_t OpenOffline(Handle* handle, OfflineOutput& output, SoundFontSynth& synth);
    // Sends one short message (status | data1 << 8 | data2 << 16). Note-ons on channel 10 sound;
    // other channel messages are accepted and have no effect here. No allocation, no lock, no
    // system call for a note that is prepared, or sent to JACK (the ALSA sequencer takes its
    // notes through a system call on the calling thread). `frame`: the output frame a note-on
    // starts on (or at once).
    static std::uint32_t ShortMessage(Handle handle, std::uint32_t message,
                                      OutputFrame frame = OutputFrame::AtOnce()) noexcept;
    // Renders the sound of a percussion note at a velocity now, so that playing it costs nothing.
    static std::uint32_t Prepare(Handle handle, int note, int velocity);
    static std::uint32_t Close(Handle handle);

    // Starts loading the SoundFont in the background; the program calls it at start-up.
    // `soundFont`: the user's choice (empty: FluidSynth's default).
    static void LoadSoundFontInBackground(const std::string& soundFont = {});
    // Chooses the SoundFont without loading it: it loads on the thread that first needs it (an
    // export, which waits for it anyway).
    static void UseSoundFont(const std::string& soundFont);

private:
    MidiOut(AudioOutput* output, Mixer& mixer, SoundFontSynth& synth, double rate)
        : _output(output), _mixer(mixer), _synth(synth), _rate(rate)
    {
    }
    static Target OpenTarget(AudioOutput& output, Target wanted);
    std::uint32_t SendOut(std::uint32_t message, OutputFrame frame) noexcept;

    AudioOutput* _output;  // null: a mixer rendered offline
    Mixer& _mixer;
    SoundFontSynth& _synth;
    double _rate;
    Target _target = Target::Synth;
    int _channel = DefaultChannel;
};

}  // namespace Platform
