#include "Core/AudioSoundEngine.h"

#include <string>

#include "Core/VerifyAudioFile.h"
#include "Platform/Text.h"
#include "System/ILog.h"
#include "System/MultimediaError.h"

namespace Core {

AudioSoundEngine::~AudioSoundEngine()
{
    Close();
}

int AudioSoundEngine::RequestedPlayers(const Configuration::ConfigurationData& settings) noexcept
{
    std::uint32_t subdivision;
    if (settings.CompoundTime == 1 && (settings.BeatType == 1 || settings.BeatType == 2))
        subdivision = 3;
    else if (settings.BeatType == 3)
        subdivision = settings.CrSubdivision;
    else
        subdivision = settings.Subdivision1;
    const std::uint32_t players = settings.Bpm / 200 + subdivision / 4 + 2;
    // Far beyond any pool size; keeps the count a small positive int whatever the record holds.
    return players > 1000 ? 1000 : static_cast<int>(players);
}

bool AudioSoundEngine::Initialise(Configuration::ConfigurationData& settings)
{
    // Players left open by a start that failed half-way are closed before anything is reread.
    Close();

    bool anySet = false;
    _filesSet = 0;
    for (int i = 0; i < FileCount; ++i) {
        if (settings.File[i][0] == 0)
            continue;
        anySet = true;
        _filesSet |= 1u << i;
        const int code = VerifyAudioFile(settings.File[i]);
        if (!IsUsableAudioFile(code)) {
            System::Log().Write(System::Error, "The audio file %s of sound %d cannot be played (check result %d)",
                                Platform::Text::Utf16ToUtf8(settings.File[i]).c_str(), i + 1, code);
            return false;
        }
    }
    if (!anySet) {
        System::Log().Write(System::Error, "No audio file is set for the audio-file engine");
        return false;
    }

    const int players = RequestedPlayers(settings);
    for (int i = 0; i < FileCount; ++i) {
        _currentFile = i;
        if (!_files[i].PreparePlayers(settings.File[i], players))
            return false;
    }
    return true;
}

bool AudioSoundEngine::PlaySoundAt(std::int32_t volume, std::int32_t sound, Platform::OutputFrame frame)
{
    if (sound < 0 || sound >= FileCount) {
        // An instrument number chosen for the MIDI engine is no file index: nothing to play,
        // reported as a sound without an audio file.
        _currentFile = NoFile;
        System::Log().Write(System::Warn, "Attempting to play sound %d, which has no audio file", sound);
        return false;
    }
    _currentFile = sound;
    return _files[sound].Play(volume, frame);
}

bool AudioSoundEngine::CanPlay(std::int32_t sound) const
{
    return sound >= 0 && sound < FileCount && (_filesSet & (1u << sound)) != 0;
}

bool AudioSoundEngine::HandedOver()
{
    for (const WaveFile& file : _files)
        if (!file.HandedOver())
            return false;
    return true;
}

void AudioSoundEngine::Close()
{
    for (WaveFile& file : _files)
        file.ClosePlayers();
}

void AudioSoundEngine::FinishClosing()
{
    for (WaveFile& file : _files)
        file.FinishClosing();
}

std::uint32_t AudioSoundEngine::GetLastResult()
{
    if (_currentFile == NoFile)
        return System::NoAudioFileResult;
    return _files[_currentFile].GetLastResult();
}

}  // namespace Core
