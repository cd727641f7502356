#include "Platform/MidiOut.h"

#include <new>

#include "Platform/AlsaSequencerOut.h"
#include "Platform/AudioOutput.h"
#include "Platform/MultimediaResult.h"
#include "Platform/OfflineOutput.h"
#include "Platform/SoundFontSynth.h"

namespace Platform {

namespace {

constexpr std::uint32_t NoteOnPercussion = 0x99;

std::atomic<int> chosenTarget{static_cast<int>(MidiOut::Target::Synth)};
std::atomic<int> chosenChannel{MidiOut::DefaultChannel};

// The sequencer port, opened with the first device that sends there and kept while the program
// runs (its subscribers stay connected); used by the thread that plays.
AlsaSequencerOut& Sequencer()
{
    static AlsaSequencerOut sequencer;
    return sequencer;
}

}  // namespace

void MidiOut::SetTarget(Target target, int channel)
{
    chosenTarget.store(static_cast<int>(target), std::memory_order_relaxed);
    chosenChannel.store(channel >= 1 && channel <= 16 ? channel : DefaultChannel, std::memory_order_relaxed);
}

// The target a device opened now sends to: the one wanted when it can be had.
MidiOut::Target MidiOut::OpenTarget(AudioOutput& output, Target wanted)
{
    switch (wanted) {
    case Target::Jack:
        if (output.PlaysThroughJack())
            return Target::Jack;
        output.Notice("MIDI to JACK needs the JACK output, which is not playing: using the built-in synthesizer");
        return Target::Synth;
    case Target::Alsa:
        if (Sequencer().Open())
            return Target::Alsa;
        output.Notice("No ALSA sequencer (%s): using the built-in synthesizer", AlsaSequencerOut::DevicePath);
        return Target::Synth;
    default: return Target::Synth;
    }
}

void MidiOut::LoadSoundFontInBackground(const std::string& soundFont)
{
    AudioOutput::Instance();  // made first, so that it outlives the synthesizer's worker
    SoundFontSynth::Instance().UseSoundFont(soundFont);
    SoundFontSynth::Instance().LoadInBackground();
}

void MidiOut::UseSoundFont(const std::string& soundFont)
{
    AudioOutput::Instance();  // made first, so that it outlives the synthesizer's worker
    SoundFontSynth::Instance().UseSoundFont(soundFont);
}

std::uint32_t MidiOut::Open(Handle* handle)
{
    AudioOutput& output = AudioOutput::Instance();
    return Open(handle, output, SoundFontSynth::Instance());
}

// What every opening of the built-in synthesizer needs first: the SoundFont loaded and the
// worker that renders late notes.
static std::uint32_t ReadySynth(SoundFontSynth& synth)
{
    if (!synth.WaitUntilLoaded())
        return MmNoDriver;
    return synth.StartWorker() ? MmNoError : MmNoMemory;
}

std::uint32_t MidiOut::Open(Handle* handle, AudioOutput& output, SoundFontSynth& synth)
{
    if (!handle)
        return MmInvalidParameter;
    *handle = nullptr;
    const auto wanted = static_cast<Target>(chosenTarget.load(std::memory_order_relaxed));
    if (wanted != Target::Synth) {
        if (std::uint32_t result = output.Acquire(); result != MmNoError)
            return result;
        const Target target = OpenTarget(output, wanted);
        if (target != Target::Synth) {
            auto* midi = new (std::nothrow) MidiOut(&output, output.GetMixer(), synth, output.SampleRate());
            if (!midi) {
                output.Release();
                return MmNoMemory;
            }
            midi->_target = target;
            midi->_channel = chosenChannel.load(std::memory_order_relaxed);
            *handle = midi;
            return MmNoError;
        }
        output.Release();
    }
    if (std::uint32_t result = ReadySynth(synth); result != MmNoError)
        return result;
    if (std::uint32_t result = output.Acquire(); result != MmNoError)
        return result;
    auto* midi = new (std::nothrow) MidiOut(&output, output.GetMixer(), synth, output.SampleRate());
    if (!midi) {
        output.Release();
        return MmNoMemory;
    }
    *handle = midi;
    return MmNoError;
}

std::uint32_t MidiOut::OpenOffline(Handle* handle, OfflineOutput& output, SoundFontSynth& synth)
{
    if (!handle)
        return MmInvalidParameter;
    *handle = nullptr;
    // A click track is always rendered by the built-in synthesizer.
    if (std::uint32_t result = ReadySynth(synth); result != MmNoError)
        return result;
    *handle = new (std::nothrow) MidiOut(nullptr, output.GetMixer(), synth, output.SampleRate());
    return *handle ? MmNoError : MmNoMemory;
}

std::uint32_t MidiOut::ShortMessage(Handle handle, std::uint32_t message, OutputFrame frame) noexcept
{
    if (!handle)
        return MmInvalidHandle;
    const std::uint32_t status = message & 0xFF;
    if (status < 0x80)
        return MmInvalidParameter;  // running status is not taken: every message has its status byte
    if (status != NoteOnPercussion)
        return MmNoError;
    if (handle->_output && !handle->_output->Running())
        return MmNotEnabled;  // the output died under this device
    if (handle->_target != Target::Synth)
        return handle->SendOut(message, frame);
    const int note = static_cast<int>((message >> 8) & 0x7F);
    const int velocity = static_cast<int>((message >> 16) & 0x7F);
    Mixer& mixer = handle->_mixer;
    if (const Sound* sound = handle->_synth.Find(note, velocity, handle->_rate))
        return mixer.Play(sound, frame) ? MmNoError : MmNoMemory;
    // Not prepared: rendered by the worker and played as soon as it is ready.
    return handle->_synth.RenderLater(note, velocity, handle->_rate, frame, &mixer) ? MmNoError : MmNoMemory;
}

std::uint32_t MidiOut::Prepare(Handle handle, int note, int velocity)
{
    if (!handle)
        return MmInvalidHandle;
    if (note < 0 || note > 127 || velocity < 0 || velocity > 127)
        return MmInvalidParameter;
    if (handle->_target != Target::Synth)
        return MmNoError;  // another synthesizer plays it
    return handle->_synth.Prepare(note, velocity, handle->_rate) ? MmNoError : MmNoMemory;
}

std::uint32_t MidiOut::Close(Handle handle)
{
    if (!handle)
        return MmInvalidHandle;
    if (handle->_target == Target::Synth)
        handle->_synth.WaitForWorker();  // a note still being rendered is played into this output
    if (handle->_output)
        handle->_output->Release();
    delete handle;
    return MmNoError;
}

// A percussion note-on to another synthesizer, on the chosen channel, and its note-off.
std::uint32_t MidiOut::SendOut(std::uint32_t message, OutputFrame frame) noexcept
{
    const auto status = static_cast<std::uint8_t>(0x90 | (_channel - 1));
    const auto note = static_cast<std::uint8_t>((message >> 8) & 0x7F);
    const auto velocity = static_cast<std::uint8_t>((message >> 16) & 0x7F);
    const std::uint8_t on[3] = {status, note, velocity};
    const std::uint8_t off[3] = {static_cast<std::uint8_t>(0x80 | (_channel - 1)), note, 0};
    const auto length = static_cast<std::int64_t>(NoteSeconds * _rate);
    if (_target == Target::Jack) {
        // A note for "at once" is sent at the next cycle's start; its end a note's length after
        // the frames being rendered now.
        const std::int64_t end = (frame.IsAtOnce() ? _output->LeadFrame() : frame.Frame()) + length;
        return _output->Jack().SendMidi(on, frame) && _output->Jack().SendMidi(off, end) ? MmNoError : MmNoMemory;
    }
    const std::int64_t start = frame.IsAtOnce() ? 0 : _output->HeardAt(frame.Frame());
    const std::int64_t end = (frame.IsAtOnce() ? _output->HeardAt(_output->LeadFrame()) : start) +
        static_cast<std::int64_t>(NoteSeconds * 1e9);
    return Sequencer().Send(on, start) && Sequencer().Send(off, end) ? MmNoError : MmNotEnabled;
}

}  // namespace Platform
