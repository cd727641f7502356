#pragma once

#include <QObject>
#include <QString>

#include "Core/TapTempo.h"
#include "GUI/Commands.h"
#include "GUI/Model/TypedDigits.h"

class QFont;
class QKeyEvent;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;
class QWidget;

namespace Configuration {
class IConfiguration;
}

namespace Core {
class IMetronome;
}

namespace GUI {

class BeatsPerMinuteDisplay;

// The tempo and the volume as the main window sets them: the tempo and volume sliders with
// their labels, the Tap button and its tap tempo, the tempo typed in digits or stepped with
// keys, and the read-out that shows it.
class TempoControls final : public QObject, public MainControlIds {
    Q_OBJECT
public:
    // The tap tempo reads the time and the modifier keys from the given functions (null: the
    // real ones). `window` gets the focus back after a tap.
    TempoControls(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                  BeatsPerMinuteDisplay& readOut, QWidget& window, Core::TapTempo::ClockFunction tapClock,
                  Core::TapTempo::HeldKeysFunction tapKeys);

    // The sliders, their labels and the Tap button on `client`.
    void Create(QWidget* client);
    // The texts of the labels and the Tap button, and the sliders fitted beside the labels.
    void ApplyTexts();
    void SetFont(const QFont& font);

    // Whether the run playing owns the tempo (the speed trainer, a song): the tempo controls
    // leave it alone then.
    bool RunOwnsTempo() const;
    // The user's tempo (cut to what plays), the slider moved to it or not.
    void ChangeTempo(int bpm, bool moveSlider);
    // The tempo asked for by another window (ignored while the run owns the tempo).
    void Request(int bpm);
    // The tempo the run plays, shown without changing the settings.
    void Show(int bpm);
    void EnableSlider(bool enabled);
    // The read-out's line under the tempo (the song heard, or nothing).
    void ShowCaption(const QString& caption);
    // The live settings were replaced: their tempo and volume are shown.
    void Reload();
    int Tempo() const;
    void Tap();
    // A key pressed in the window: digits and the tempo keys; false when it is none of those.
    bool KeyPressed(QKeyEvent* event);
    // The timers stop and the tap series ends (the window closes).
    void Stop();

    QSlider* TempoSlider() const { return _tempoSlider; }
    QSlider* VolumeSlider() const { return _volumeSlider; }
    QPushButton* TapButton() const { return _tapButton; }
    Core::TapTempo& TapTempoObject() { return _tapTempo; }

signals:
    // The tempo shown changed.
    void TempoShown(int bpm);
    // A command of the controls (the Tap button's).
    void Command(int command);

private:
    void MoveTempoSlider(int bpm);
    void OnVolumeSlider(int position);

    Core::IMetronome& _metronome;
    Configuration::IConfiguration& _configuration;
    BeatsPerMinuteDisplay& _readOut;
    QWidget& _window;
    TypedDigits _digits;
    QTimer* _digitTimer = nullptr;
    QTimer* _deferredDigitsTimer = nullptr;  // two digits held back while playing
    Core::TapTempo _tapTempo;
    QTimer* _tapTimer = nullptr;

    QSlider* _tempoSlider = nullptr;
    QSlider* _volumeSlider = nullptr;
    QLabel* _tempoLabel = nullptr;
    QLabel* _volumeLabel = nullptr;
    QPushButton* _tapButton = nullptr;
};

}  // namespace GUI
