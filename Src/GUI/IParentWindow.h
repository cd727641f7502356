#pragma once

#include <cstdint>

namespace GUI {

class AudioFilesDialog;

// The settings dialog as its pages see it: a page tells it what changed and asks it to act.
class IParentWindow {
public:
    // Notify codes.
    static constexpr int AudioFilesChanged = 1;   // the Audio Files page's names changed
    static constexpr int PresetLoaded = 3;        // a preset was loaded into the live settings
    static constexpr int SoundSourceChanged = 4;  // argument 0 = MIDI, 1 = audio files
    static constexpr int VolumesChanged = 5;      // the live settings' voice volumes changed
    // Request codes.
    static constexpr int FillSettings = 2;  // argument: the ConfigurationData* to fill; 1 = refused
    static constexpr int SelectTab = 3;     // argument: the tab index

    virtual ~IParentWindow() = default;
    virtual void Notify(int code, std::intptr_t argument) = 0;
    // The Audio Files page for 0, null for anything else.
    virtual AudioFilesDialog* GetAudioFilesPage(int index) = 0;
    virtual std::intptr_t Request(int code, std::intptr_t argument) = 0;
};

}  // namespace GUI
