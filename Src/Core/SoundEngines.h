#pragma once

#include <cstdint>

namespace Core {

class ISoundEngine;

// The lookup of the program's sound engines: 0 the MIDI engine, 1 the audio-file engine. Both
// are single instances made on the first lookup and destroyed at program exit; callers never
// create or delete an engine.
class SoundEngines {
public:
    // The engines by the number the settings record gives them (SoundEngineType).
    enum Type : std::uint32_t { Midi = 0, AudioFile = 1 };

    // The engine for `type`; null for any other number.
    static ISoundEngine* Get(std::uint32_t type);
};

}  // namespace Core
