#include "Platform/MidiOut.h"

#include <new>

#include "Platform/AudioOutput.h"
#include "Platform/MultimediaResult.h"
#include "Platform/OfflineOutput.h"
#include "Platform/SoundFontSynth.h"

namespace Platform {

namespace {
constexpr std::uint32_t NoteOnPercussion = 0x99;
}

void MidiOut::LoadSoundFontInBackground(const std::string& soundFont)
{
    AudioOutput::Instance();  // made first, so that it outlives the synthesizer's worker
    SoundFontSynth::Instance().UseSoundFont(soundFont);
    SoundFontSynth::Instance().LoadInBackground();
}

std::uint32_t MidiOut::Open(Handle* handle)
{
    AudioOutput& output = AudioOutput::Instance();
    return Open(handle, output, SoundFontSynth::Instance());
}

// What every opening needs first: the SoundFont loaded and the worker that renders late notes.
static std::uint32_t ReadySynth(MidiOut::Handle* handle, SoundFontSynth& synth)
{
    if (!handle)
        return MmInvalidParameter;
    *handle = nullptr;
    if (!synth.WaitUntilLoaded())
        return MmNoDriver;
    return synth.StartWorker() ? MmNoError : MmNoMemory;
}

std::uint32_t MidiOut::Open(Handle* handle, AudioOutput& output, SoundFontSynth& synth)
{
    if (std::uint32_t result = ReadySynth(handle, synth); result != MmNoError)
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
    if (std::uint32_t result = ReadySynth(handle, synth); result != MmNoError)
        return result;
    *handle = new (std::nothrow) MidiOut(nullptr, output.GetMixer(), synth, output.SampleRate());
    return *handle ? MmNoError : MmNoMemory;
}

std::uint32_t MidiOut::ShortMessage(Handle handle, std::uint32_t message, std::int64_t frame) noexcept
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
    return handle->_synth.Prepare(note, velocity, handle->_rate) ? MmNoError : MmNoMemory;
}

std::uint32_t MidiOut::Close(Handle handle)
{
    if (!handle)
        return MmInvalidHandle;
    handle->_synth.WaitForWorker();  // a note still being rendered is played into this output
    if (handle->_output)
        handle->_output->Release();
    delete handle;
    return MmNoError;
}

}  // namespace Platform
