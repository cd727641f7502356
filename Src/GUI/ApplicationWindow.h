#pragma once

#include <QMainWindow>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "Core/IMetronomeEventHandler.h"
#include "Core/TapTempo.h"
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/Model/CommandLine.h"
#include "GUI/Model/TypedDigits.h"
#include "GUI/Statusbar.h"
#include "GUI/Toolbar.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QTimer;

namespace Configuration {
class IConfiguration;
class ConfigurationData;
}

namespace Core {
class IMetronome;
}

namespace System {
class ILanguage;
}

namespace GUI {

class VisualBeatIndicator;

// The main window: toolbar, tempo read-out, beat indicator, Start button, tempo and volume
// sliders, Tap button and status bar. It turns commands, keys and slider moves into calls on
// the metronome and shows what the metronome reports back.
class ApplicationWindow final : public QMainWindow, public ControlSubClasser, public Core::IMetronomeEventHandler {
    Q_OBJECT
public:
    // Command identifiers of the menu, the toolbar and the accelerators.
    enum Command : int {
        StartStop = 1001,
        Tap = 1003,
        Pause = 1325,
        Language = 32771,
        Exit = 32772,
        Options = 32773,
        SoundSettings = 32774,
        AudioFiles = 32775,
        Presets = 32776,
        Help = 32777,
        About = 32778,
        ExportClickTrack = 32790,
        ChooseSoundFont = 32791,
    };
    // Control identifiers.
    static constexpr int StartButtonId = 1001;
    static constexpr int TapButtonId = 1003;
    static constexpr int TempoLabelId = 1004;
    static constexpr int VolumeLabelId = 1005;
    static constexpr int ReadOutId = 1201;
    static constexpr int IndicatorId = 1202;
    static constexpr int TempoSliderId = 1203;
    static constexpr int VolumeSliderId = 1204;
    // The client area below the menu bar, the size the window's layout is drawn for.
    static constexpr int ClientWidth = 394;
    static constexpr int ClientHeight = 249;

    // The metronome and the configuration are the program's own; tests pass fakes. The tap
    // tempo reads the time and the modifier keys from the given functions (null: the real ones).
    ApplicationWindow(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                      VisualBeatIndicator& indicator, Core::TapTempo::ClockFunction tapClock = nullptr,
                      Core::TapTempo::HeldKeysFunction tapKeys = nullptr);
    ~ApplicationWindow() override;

    // Start-up after the configuration is loaded: the language of the configuration, then the
    // window with its controls. False ends the program.
    bool Initialise();
    // Sets up the language named (empty: the built-in texts); false when it cannot be loaded.
    bool SetUpLanguage(const char16_t* name);
    bool FallBackToEnglish();
    // Builds the window and its controls and shows it centred on the screen.
    bool CreateInterface();

    // A command of the menu, the toolbar or an accelerator.
    void OnCommand(int command);
    // The tempo asked for by another window (ignored while the speed trainer plays).
    void RequestTempo(int bpm);
    // The live settings were replaced (a preset was loaded): take tempo and volume from them.
    void ReloadSettings();
    // Changes the language to the one named; falls back to the built-in texts when it fails.
    void ChangeLanguage(const char16_t* name);
    // Brings the window to the front (a second copy of the program was started).
    void BringToFront();
    // Carries out the options of a command line (this copy's, or another's handed over): a
    // preset is loaded, then the tempo set, then playing started.
    void RunCommands(const CommandLine& commands);
    // Remote control (the session bus, media keys): as the Start button and the Pause key do.
    void StartPlaying();
    void StopPlaying();
    void TogglePause();
    int Tempo() const;
    // Quits as Exit does, saving the settings, from wherever the user is: any dialog open over
    // the window is dismissed as Cancel would (a signal asked the program to end).
    void QuitAsExit();

    void MouseOverControl(int id) override;

    void OnSpeedTrainerStarted(std::int32_t tempo, bool hasWarmUp) override;
    void OnTimerEvent(std::int32_t events, std::int32_t tempo, std::int64_t heardAt) override;
    void OnStopped(std::int32_t tempo) override;
    void OnError(std::int32_t messageId) override;

    // What the commands that open other windows do; the dialogs that are not built yet are
    // reached through these. The settings dialog gets the tab to show first.
    void SetSettingsDialog(std::function<void(int tab)> open) { _openSettings = std::move(open); }
    void SetLanguageDialog(std::function<void()> open) { _openLanguage = std::move(open); }
    // Opens a document with the desktop; tests replace it.
    void SetDocumentOpener(std::function<bool(const QString& path)> open) { _openDocument = std::move(open); }
    // Where the manual is looked for (the program's folder unless a test says otherwise).
    void SetManualPath(const QString& path) { _manualPath = path; }

    bool Playing() const { return _playing; }
    bool Paused() const { return _paused; }
    QPushButton* StartButton() const { return _startButton; }
    QPushButton* TapButton() const { return _tapButton; }
    QSlider* TempoSlider() const { return _tempoSlider; }
    QSlider* VolumeSlider() const { return _volumeSlider; }
    BeatsPerMinuteDisplay& ReadOut() { return _readOut; }
    VisualBeatIndicator& Indicator() { return _indicator; }
    Toolbar& Tools() { return _toolbar; }
    QString StatusText() const { return _statusbar.Text(); }
    QString StatusState() const { return _statusbar.State(); }
    QWidget* Client() const { return _client; }
    QAction* CommandAction(int command) const;
    Core::TapTempo& TapTempoObject() { return _tapTempo; }

    // The status text number of a menu item, toolbar button or control; -1 for none.
    static int StatusInfoNumber(int id);

signals:
    // Playing started, stopped, paused or resumed.
    void PlaybackChanged(bool playing, bool paused);
    // The tempo shown changed.
    void TempoShown(int bpm);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenu();
    void CreateAccelerators();
    void CreateControls();
    void ApplyControlTexts();
    QString ToolbarText(int index) const;

    void CatchUpWithSelfStop();
    void StartOrStop();
    void PauseOrStartOrStop();
    void StopIfPlaying();
    void OnTap();
    void OpenManual();
    void ExportClickTrackDialog();
    void ChooseSoundFontDialog();
    void ShowAbout();
    void ShutDown();

    void ChangeTempo(int bpm, bool moveSlider);
    void ShowTempo(int bpm);
    void MoveTempoSlider(int bpm);
    void OnTempoSlider(int position);
    void OnVolumeSlider(int position);
    bool TrainerPlaying() const;
    void SetStatusInfo(int id);
    void SetStartButtonText(bool playing);

    Core::IMetronome& _metronome;
    Configuration::IConfiguration& _configuration;
    VisualBeatIndicator& _indicator;
    TypedDigits _digits;
    QTimer* _digitTimer = nullptr;
    Core::TapTempo _tapTempo;
    QTimer* _tapTimer = nullptr;
    Toolbar _toolbar;
    Statusbar _statusbar;
    BeatsPerMinuteDisplay _readOut;
    std::unique_ptr<System::ILanguage> _language;

    QWidget* _client = nullptr;
    QGroupBox* _groupBox = nullptr;
    QPushButton* _startButton = nullptr;
    QPushButton* _tapButton = nullptr;
    QSlider* _tempoSlider = nullptr;
    QSlider* _volumeSlider = nullptr;
    QLabel* _tempoLabel = nullptr;
    QLabel* _volumeLabel = nullptr;
    QMenu* _menus[3] = {};
    QAction* _menuActions[8] = {};

    bool _playing = false;
    bool _paused = false;
    bool _shutDown = false;
    // A click track is being written: its metronome shares the live one's strategies, so nothing
    // starts meanwhile (a remote Start may arrive while the progress dialog serves events).
    bool _exporting = false;
    // Counts the starts, so that a stop reported from the timer thread and delivered after the
    // user has started again is not taken for the end of the new run.
    std::atomic<std::uint32_t> _run{0};
    // The run that the metronome ended by itself (its stop reported from the timer thread).
    std::atomic<std::uint32_t> _stoppedRun{0};

    std::function<void(int)> _openSettings;
    std::function<void()> _openLanguage;
    std::function<bool(const QString&)> _openDocument;
    QString _manualPath;
};

}  // namespace GUI
