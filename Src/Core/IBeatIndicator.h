#pragma once

#include <cstdint>

#include "Core/HeardTime.h"

namespace Configuration {
class ConfigurationData;
}

namespace Core {

// The visual beat indicator as the engine sees it; the window behind it lives in the GUI.
class IBeatIndicator {
public:
    virtual ~IBeatIndicator() = default;
    // Takes the voices' sizes and colours from the settings; called at a start.
    virtual void Prepare(const Configuration::ConfigurationData& settings) = 0;
    // Shows the disc of voice 0..11, or nothing for -1, at `heardAt`, when its click is heard.
    // Called on the timer thread: must not block.
    virtual void Show(int voice, Moment heardAt) = 0;
    // Shows the count-in's count (1, 2 ...) at `heardAt`, as Show does a voice.
    virtual void ShowCount(int count, Moment heardAt) = 0;
    // Hides the indicator; called when playing stops.
    virtual void Hide() = 0;
};

}  // namespace Core
