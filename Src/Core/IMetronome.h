#pragma once

#include <cstdint>

namespace Configuration {
class ConfigurationData;
}

namespace Core {

class IMetronomeEventHandler;

// What the user interface drives: start and stop playing with a settings record, pause and
// resume, and change tempo and volumes while playing. There is one metronome in the program;
// the main window and the step sequencer dialog share it.
class IMetronome {
public:
    virtual ~IMetronome() = default;
    // Starts playing; 0 when it plays, otherwise the start code of what failed.
    virtual std::int32_t Start(IMetronomeEventHandler* handler, Configuration::ConfigurationData& settings) = 0;
    virtual void Stop() = 0;
    virtual void TogglePause() = 0;
    virtual void SetTempo(std::int32_t bpm) = 0;
    virtual void SetVolumes(const std::uint32_t (&volumes)[12], std::uint32_t globalVolume) = 0;
};

}  // namespace Core
