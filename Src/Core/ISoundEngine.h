#pragma once

#include <cstdint>

#include "Platform/OutputFrame.h"

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
    // Plays one click starting on output frame `frame` (the frame of the tick that plays it,
    // or at once) and returns at once. volume: 0..127; sound: MIDI note or audio-file index.
    virtual bool PlaySoundAt(std::int32_t volume, std::int32_t sound, Platform::OutputFrame frame) = 0;
    // Plays one click at once.
    bool PlaySound(std::int32_t volume, std::int32_t sound)
    {
        return PlaySoundAt(volume, sound, Platform::OutputFrame::AtOnce());
    }
    // Stops playing. What the engine's devices still need to let go of the output may finish
    // after this returns (the next Initialise waits for it).
    virtual void Close() = 0;
    // Waits until what Close left to finish is done (before the output goes away at exit).
    virtual void FinishClosing() {}
    // Whether every click asked for so far has reached the mixer. Live, the output's lead covers
    // a click that takes a moment to hand over; a click track rendered offline renders no frame
    // until this says so.
    virtual bool HandedOver() { return true; }
    // Whether `sound` has something to play after Initialise (an audio file is set for it).
    virtual bool CanPlay(std::int32_t) const { return true; }
    // The multimedia result code of the last device call (0 = success).
    virtual std::uint32_t GetLastResult() = 0;
};

}  // namespace Core
