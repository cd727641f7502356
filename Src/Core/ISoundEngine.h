#pragma once

#include <cstdint>

namespace Configuration {
class ConfigurationData;
}

namespace Core {

// Every click goes through one sound engine: General MIDI percussion or the user's WAV files.
class ISoundEngine {
public:
    virtual ~ISoundEngine() = default;
    // Prepares the engine for the settings; called at every start. False when it cannot play.
    virtual bool Initialise(Configuration::ConfigurationData& settings) = 0;
    // Plays one click now (at the due time of the tick being delivered, when on the timer
    // thread) and returns at once. volume: 0..127; sound: MIDI note or audio-file index.
    virtual bool PlaySound(std::int32_t volume, std::int32_t sound) = 0;
    virtual void Close() = 0;
    // The multimedia result code of the last device call (0 = success).
    virtual std::uint32_t GetLastResult() = 0;
};

}  // namespace Core
