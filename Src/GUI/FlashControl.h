#pragma once

#include <memory>

class QAction;

namespace Core {
class IMetronome;
}

namespace GUI {

class BigFlash;

// The big flash window and the mute of the sound it goes with (kept in the second settings
// file as "flash.mute").
class FlashControl {
public:
    explicit FlashControl(Core::IMetronome& metronome);
    ~FlashControl();

    BigFlash& Window() { return *_flash; }
    bool Muted() const noexcept { return _muted; }
    void Open();
    // A flash window not shown yet opens full screen, one shown switches.
    void ToggleFullScreen();
    // Sound on or off; `item` (the menu's check mark) follows.
    void ToggleMute(QAction* item);
    // The texts of the language in use.
    void ApplyTexts();
    // Closed for good: it keeps its size for the next time.
    void Close();

private:
    Core::IMetronome& _metronome;
    std::unique_ptr<BigFlash> _flash;
    bool _muted = false;
};

}  // namespace GUI
