#pragma once

#include <cstdint>

#include "Core/ISoundEngine.h"
#include "Platform/MidiOut.h"

namespace Platform {
class OfflineOutput;
}

namespace Core {

// Plays General MIDI percussion notes (channel 10) through the MIDI output.
class MidiSoundEngine final : public ISoundEngine {
public:
    MidiSoundEngine() = default;
    // An engine that plays on `output`, rendered by its owner (a click track written to a file),
    // instead of the program's output.
    explicit MidiSoundEngine(Platform::OfflineOutput& output) noexcept : _offline(&output) {}
    ~MidiSoundEngine() override;
    MidiSoundEngine(const MidiSoundEngine&) = delete;
    MidiSoundEngine& operator=(const MidiSoundEngine&) = delete;

    // Opens the MIDI output (once) and renders the twelve voices' sounds ahead of time.
    bool Initialise(Configuration::ConfigurationData& settings) override;
    // One note-on: note `sound` at velocity `volume`, placed at the calling tick's due time.
    bool PlaySoundAt(std::int32_t volume, std::int32_t sound, Platform::OutputFrame frame) override;
    void Close() override;
    bool HandedOver() override;
    std::uint32_t GetLastResult() override { return _lastResult; }

    // Renders the sound of every voice at its current volume, so that no click waits for the
    // synthesizer; called at every start and again whenever volumes change while playing.
    void PrepareSounds(const Configuration::ConfigurationData& settings);
    // Renders one note at one velocity ahead of time (the count-in's).
    void PrepareNote(std::int32_t note, std::int32_t velocity);

    // The packed note-on message: status 0x99, the note, the velocity.
    static constexpr std::uint32_t PackNoteOn(std::int32_t volume, std::int32_t sound) noexcept
    {
        return 0x99u + static_cast<std::uint32_t>(sound) * 0x100u + static_cast<std::uint32_t>(volume) * 0x10000u;
    }
    // The velocity a voice plays at: its volume times the global volume in percent, truncated.
    static std::int32_t VoiceVelocity(const Configuration::ConfigurationData& settings, int voice) noexcept;

private:
    Platform::OfflineOutput* _offline = nullptr;
    Platform::MidiOut::Handle _handle = nullptr;
    std::uint32_t _lastResult = 0;
};

}  // namespace Core
