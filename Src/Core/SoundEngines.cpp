#include "Core/SoundEngines.h"

#include "Core/AudioSoundEngine.h"
#include "Core/MidiSoundEngine.h"
#include "Platform/AudioOutput.h"
#include "Platform/SoundFontSynth.h"

namespace Core {

namespace {

// Both engines are made together on first use and live until the program ends.
struct Engines {
    // The output and the synthesizer are made first, so that they are destroyed after the
    // engines, whose destruction closes their devices.
    Engines()
    {
        Platform::AudioOutput::Instance();
        Platform::SoundFontSynth::Instance();
    }
    MidiSoundEngine midi;
    AudioSoundEngine audioFile;
};

}  // namespace

ISoundEngine* SoundEngines::Get(std::uint32_t type)
{
    static Engines engines;
    switch (type) {
    case Midi: return &engines.midi;
    case AudioFile: return &engines.audioFile;
    default: return nullptr;
    }
}

}  // namespace Core
