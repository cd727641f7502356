#include "Core/MidiSoundEngine.h"

#include "Configuration/ConfigurationData.h"
#include "Core/PercussionTable.h"
#include "Platform/SoundFontSynth.h"
#include "System/ILog.h"
#include "System/MultimediaError.h"

namespace Core {

namespace {
constexpr const char* SourceFile = "Src/Core/MidiSoundEngine";
}

MidiSoundEngine::~MidiSoundEngine()
{
    Close();
}

std::int32_t MidiSoundEngine::VoiceVelocity(const Configuration::ConfigurationData& settings, int voice) noexcept
{
    const float factor = static_cast<float>(settings.GlobalVolume) / 100.0f;
    return static_cast<std::int32_t>(static_cast<float>(settings.Volume[voice]) * factor);
}

bool MidiSoundEngine::Initialise(Configuration::ConfigurationData& settings)
{
    if (!_handle) {
        _lastResult = _offline
            ? Platform::MidiOut::OpenOffline(&_handle, *_offline, Platform::SoundFontSynth::Instance())
            : Platform::MidiOut::Open(&_handle);
        if (_lastResult != 0) {
            if (const std::string problem = Platform::SoundFontSynth::Instance().LoadProblem(); !problem.empty())
                System::Log().Write(System::Error, "No General MIDI sounds: %s", problem.c_str());
            System::ReportMultimediaError(_lastResult, SourceFile, "Core::MidiSoundEngine::Initialise", __LINE__,
                                          "Error calling MidiOut::Open");
            _handle = nullptr;
            return false;
        }
    }
    PrepareSounds(settings);
    return true;
}

void MidiSoundEngine::PrepareSounds(const Configuration::ConfigurationData& settings)
{
    if (!_handle)
        return;
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice)
        PrepareNote(PercussionTable::Note(settings.Instrument[voice]), VoiceVelocity(settings, voice));
}

void MidiSoundEngine::PrepareNote(std::int32_t note, std::int32_t velocity)
{
    if (!_handle || velocity < 0 || velocity > 127)
        return;  // not a velocity: the note would be refused anyway
    // A sound that cannot be rendered now is rendered on first use instead.
    Platform::MidiOut::Prepare(_handle, note, velocity);
}

bool MidiSoundEngine::PlaySoundAt(std::int32_t volume, std::int32_t sound, Platform::OutputFrame frame)
{
    _lastResult = Platform::MidiOut::ShortMessage(_handle, PackNoteOn(volume, sound), frame);
    if (_lastResult == 0)
        return true;
    System::ReportMultimediaError(_lastResult, SourceFile, "Core::MidiSoundEngine::PlaySound", __LINE__,
                                  "Error calling MidiOut::ShortMessage");
    return false;
}

bool MidiSoundEngine::HandedOver()
{
    // A note that was not prepared is rendered by the synthesizer's worker, then handed over.
    Platform::SoundFontSynth::Instance().WaitForWorker();
    return true;
}

void MidiSoundEngine::Close()
{
    if (_handle) {
        Platform::MidiOut::Close(_handle);
        _handle = nullptr;
    }
}

}  // namespace Core
