#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

#include "Configuration/PracticeLog.h"
#include "Configuration/Setlists.h"
#include "Core/HeardTime.h"
#include "Core/TapTempo.h"
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/CommandTable.h"
#include "GUI/Commands.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/FlashControl.h"
#include "GUI/MetronomeEvents.h"
#include "GUI/Model/CommandLine.h"
#include "GUI/SetlistController.h"
#include "GUI/SongPlayer.h"
#include "GUI/StatusHelp.h"
#include "GUI/Statusbar.h"
#include "GUI/TempoControls.h"
#include "GUI/Toolbar.h"
#include "GUI/Transport.h"
#include "GUI/WindowDialogs.h"

class QAction;
class QGroupBox;
class QPushButton;
class QSlider;
class QToolBar;

namespace Configuration {
class IConfiguration;
}

namespace Core {
class IBeatFlash;
class IMetronome;
}  // namespace Core

namespace System {
class ILanguage;
}

namespace GUI {

class BigFlash;
class LinkControl;
class CoachControl;
class VisualBeatIndicator;

// The main window: toolbar, tempo read-out, beat indicator, Start button, tempo and volume
// sliders, Tap button and status bar. It makes its parts and places them: the command table
// (menus, keys), the transport (start, stop, pause), the tempo controls, the setlists, the big
// flash, the status help and the dialogs its commands open; each part says what its commands do.
class ApplicationWindow final : public QMainWindow, public ControlSubClasser, public Commands, public MainControlIds {
    Q_OBJECT
public:
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
    void OnCommand(int command) { _commands.Run(command); }
    // The tempo asked for by another window (ignored while the speed trainer plays).
    void RequestTempo(int bpm) { _tempo.Request(bpm); }
    // The live settings were replaced (a preset was loaded): take tempo and volume from them.
    void ReloadSettings() { _tempo.Reload(); }
    // Changes the language to the one named; falls back to the built-in texts when it fails.
    void ChangeLanguage(const char16_t* name);
    // Brings the window to the front (a second copy of the program was started).
    void BringToFront();
    // Carries out the options of a command line (this copy's, or another's handed over): a
    // preset is loaded, then the tempo set, then playing started.
    void RunCommands(const CommandLine& commands);
    // Remote control (the session bus, media keys): as the Start button and the Pause key do.
    void StartPlaying() { _transport.StartPlaying(); }
    void StopPlaying() { _transport.StopIfPlaying(); }
    void TogglePause() { OnCommand(Pause); }
    int Tempo() const { return _tempo.Tempo(); }
    // Quits as Exit does, saving the settings, from wherever the user is: any dialog open over
    // the window is dismissed as Cancel would (a signal asked the program to end).
    void QuitAsExit();

    void MouseOverControl(int id) override { _help.Show(id); }

    // What the commands that open other windows do; the dialogs that are not built yet are
    // reached through these. The settings dialog gets the tab to show first.
    void SetSettingsDialog(std::function<void(int tab)> open) { _openSettings = std::move(open); }
    void SetLanguageDialog(std::function<void()> open) { _openLanguage = std::move(open); }
    // Opens a document with the desktop; tests replace it.
    void SetDocumentOpener(std::function<bool(const QString& path)> open)
    {
        _dialogs.SetDocumentOpener(std::move(open));
    }
    // Where the manual is looked for (the program's folder unless a test says otherwise).
    void SetManualPath(const QString& path) { _dialogs.SetManualPath(path); }
    // Where the runs are logged (the file beside the configuration unless a test says otherwise).
    void SetPracticeLog(const Configuration::PracticeLog& log) { _transport.Practice().SetLog(log); }
    QString PracticeTimeText() const { return _statusbar.PracticeTime(); }
    // The clock the practice time is read from (the heard time's unless a test says otherwise).
    void SetPracticeClock(std::function<Core::Moment()> clock) { _transport.Practice().SetClock(std::move(clock)); }

    // Whether the metronome plays (a paused run included): asked of the metronome.
    bool Playing() const { return _transport.Playing(); }
    bool Paused() const { return _transport.Paused(); }
    QPushButton* StartButton() const { return _startButton; }
    QPushButton* TapButton() const { return _tempo.TapButton(); }
    QSlider* TempoSlider() const { return _tempo.TempoSlider(); }
    QSlider* VolumeSlider() const { return _tempo.VolumeSlider(); }
    BeatsPerMinuteDisplay& ReadOut() { return _readOut; }
    VisualBeatIndicator& Indicator() { return _indicator; }
    Toolbar& Tools() { return _toolbar; }
    // Playing with a session on the network.
    LinkControl* Link() const { return _link; }
    QString StatusText() const { return _statusbar.Text(); }
    QString StatusState() const { return _statusbar.State(); }
    QWidget* Client() const { return _client; }
    QAction* CommandAction(int command) const;
    Core::TapTempo& TapTempoObject() { return _tempo.TapTempoObject(); }
    BigFlash& FlashWindow() { return _flash.Window(); }
    // What the metronome tells of every click: the timing coach, which hands each on to the big
    // flash.
    Core::IBeatFlash& BeatListener();
    bool Muted() const { return _flash.Muted(); }
    Configuration::Setlists& SetlistStore() { return _setlist.Store(); }
    QToolBar* SetlistBar() const { return _setlist.Bar().Widget(); }
    // What the setlist bar shows ("Friday: 3 of 12   Ballad"); empty with no setlist in use.
    QString SetlistPosition() const { return _setlist.Position(); }
    // Puts setlist `index` in use (-1: none) and loads its first entry that exists.
    void UseSetlist(int index) { _setlist.Use(index); }
    // Opens the setlists dialog; the chosen list is put in use.
    void OpenSetlists() { _setlist.Open(); }
    // Opens the song editor; PlaySong plays one of its songs from a section, as Start does.
    void OpenSongs() { _dialogs.Songs(); }
    void PlaySong(const Configuration::Song& song, int section) { _transport.PlaySong(song, section); }
    SongPlayer& Songs() { return _songs; }

    // The status text number of a menu item, toolbar button or control; -1 for none.
    static int StatusInfoNumber(int id) { return StatusHelp::Number(id); }

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
    void HandleCommands();
    void FollowMetronome();
    bool CreateBars();
    void CreateControls();
    void ApplyControlTexts();
    void ExposeToScreenReaders();
    void FitWindowHeight();
    void ShutDown();

    Core::IMetronome& _metronome;
    Configuration::IConfiguration& _configuration;
    VisualBeatIndicator& _indicator;
    Toolbar _toolbar;
    LinkControl* _link = nullptr;    // a child of the window
    CoachControl* _coach = nullptr;  // a child of the window
    Statusbar _statusbar;
    BeatsPerMinuteDisplay _readOut;
    std::unique_ptr<System::ILanguage> _language;
    MetronomeEvents _events;
    SongPlayer _songs{_metronome};
    CommandTable _commands{*this};
    StatusHelp _help{_statusbar, _toolbar};
    FlashControl _flash{_metronome};
    TempoControls _tempo;
    Transport _transport{_metronome, _configuration, _events, _songs, _flash.Window(), _tempo, _statusbar, *this};
    SetlistController _setlist{_metronome, _configuration,  _events,
                               _songs,     _flash.Window(), _transport,
                               _tempo,     *this,           [this] { FitWindowHeight(); }};
    WindowDialogs _dialogs{*this, _metronome, _configuration, _transport, _songs};

    QWidget* _client = nullptr;
    QGroupBox* _groupBox = nullptr;
    QPushButton* _startButton = nullptr;
    bool _shutDown = false;

    std::function<void(int)> _openSettings;
    std::function<void()> _openLanguage;
};

}  // namespace GUI
