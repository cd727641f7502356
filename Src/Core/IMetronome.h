#pragma once

#include <cstdint>

namespace Configuration {
class ConfigurationData;
}

namespace Core {

class IMetronomeEventHandler;

// The metronome as the main window drives it. Stand-in until the engine's own interface is
// merged: it lets the windows build and be tested against a fake.
class IMetronome {
public:
    virtual ~IMetronome() = default;
    virtual std::int32_t Start(IMetronomeEventHandler* handler, Configuration::ConfigurationData& settings) = 0;
    virtual void Stop() = 0;
    virtual void TogglePause() = 0;
    virtual void SetTempo(std::int32_t bpm) = 0;
    virtual void SetVolumes(const std::uint32_t (&volumes)[12], std::uint32_t globalVolume) = 0;
};

}  // namespace Core
