#include "GUI/FlashControl.h"

#include <QAction>
#include <QSignalBlocker>

#include "Configuration/ExtraSettings.h"
#include "Core/IMetronome.h"
#include "GUI/BigFlash.h"

namespace GUI {

FlashControl::FlashControl(Core::IMetronome& metronome) : _metronome(metronome), _flash(std::make_unique<BigFlash>())
{
    _muted = Configuration::GetExtraSettings().Flag("flash.mute", false);
    _metronome.SetMuted(_muted);
    _flash->ShowMuted(_muted);
}

FlashControl::~FlashControl() = default;

void FlashControl::Open()
{
    _flash->Open();
}

void FlashControl::ToggleFullScreen()
{
    const bool shown = _flash->isVisible();
    Open();
    if (shown || !_flash->isFullScreen())
        _flash->ToggleFullScreen();
}

void FlashControl::ToggleMute(QAction* item)
{
    _muted = !_muted;
    _metronome.SetMuted(_muted);
    Configuration::GetExtraSettings().SetFlag("flash.mute", _muted);
    if (item) {
        QSignalBlocker quiet(item);
        item->setChecked(_muted);
    }
    _flash->ShowMuted(_muted);
}

void FlashControl::ApplyTexts()
{
    _flash->ShowMuted(_muted);
}

void FlashControl::Close()
{
    if (_flash->isVisible())
        _flash->close();
}

}  // namespace GUI
