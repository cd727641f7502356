#pragma once

#include <cstdint>

#include "Configuration/ConfigurationData.h"
#include "Core/ISoundEngine.h"
#include "Core/WaveFile.h"

namespace Core {

// The sound engine that plays the user's twelve audio files instead of MIDI notes. Each file
// has its pool of wave players; a sound is the index of a file.
class AudioSoundEngine final : public ISoundEngine {
public:
    static constexpr int FileCount = Configuration::ConfigurationData::NumVoices;

    AudioSoundEngine() = default;
    // An engine that plays on `output`, rendered by its owner (a click track written to a file),
    // instead of the program's output.
    explicit AudioSoundEngine(Platform::OfflineOutput& output) noexcept
    {
        for (WaveFile& file : _files)
            file.PlayOn(&output);
    }
    ~AudioSoundEngine() override;
    AudioSoundEngine(const AudioSoundEngine&) = delete;
    AudioSoundEngine& operator=(const AudioSoundEngine&) = delete;

    // Checks every audio file that is set, then reads each and opens its players. False when a
    // file is rejected, none is set, or a file cannot be prepared.
    bool Initialise(Configuration::ConfigurationData& settings) override;
    // Plays file `sound` (0..11) at `volume` (0..127) on its next player.
    bool PlaySoundAt(std::int32_t volume, std::int32_t sound, Platform::OutputFrame frame) override;
    // Closes every player; arrays and sample buffers stay for the next Initialise.
    void Close() override;
    void FinishClosing() override;
    bool HandedOver() override;
    // A file index whose file was set at Initialise.
    bool CanPlay(std::int32_t sound) const override;
    // The result of the player used last by the file addressed last.
    std::uint32_t GetLastResult() override;

    // Players asked for per file: more at fast tempos and fine subdivisions, so that a player
    // is normally idle again before its turn comes round.
    static int RequestedPlayers(const Configuration::ConfigurationData& settings) noexcept;

    const WaveFile& File(int index) const noexcept { return _files[index]; }

private:
    static constexpr int NoFile = -1;  // the last sound asked for was no file index

    int _currentFile = 0;
    unsigned _filesSet = 0;  // bit i: File(i + 1) was set at Initialise
    WaveFile _files[FileCount];
};

}  // namespace Core
