#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "Configuration/PracticeLog.h"
#include "Configuration/Setlists.h"
#include "Core/TapTempo.h"
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/MetronomeEvents.h"
#include "GUI/SongPlayer.h"
#include "GUI/Model/PracticeTime.h"
#include "GUI/Model/CommandLine.h"
#include "GUI/Model/SetlistChangeover.h"
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
class QToolBar;

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

class BigFlash;
class LinkControl;
class VisualBeatIndicator;

// The main window: toolbar, tempo read-out, beat indicator, Start button, tempo and volume
// sliders, Tap button and status bar. It turns commands, keys and slider moves into calls on
// the metronome and shows what the metronome reports back (through its MetronomeEvents).
class ApplicationWindow final : public QMainWindow, public ControlSubClasser {
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
        CountInSettings = 32790,
        PracticeLogView = 32791,
        // The big flash and the setlists.
        Flash = 32792,
        FullScreen = 32793,
        Mute = 32794,
        SetlistsDialog = 32795,
        NextEntry = 32796,
        PreviousEntry = 32797,
        LeaveSetlist = 32798,
        ExportClickTrack = 32799,
        ChooseSoundFont = 32800,
        SongsDialog = 32801,
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

    // What the commands that open other windows do; the dialogs that are not built yet are
    // reached through these. The settings dialog gets the tab to show first.
    void SetSettingsDialog(std::function<void(int tab)> open) { _openSettings = std::move(open); }
    void SetLanguageDialog(std::function<void()> open) { _openLanguage = std::move(open); }
    // Opens a document with the desktop; tests replace it.
    void SetDocumentOpener(std::function<bool(const QString& path)> open) { _openDocument = std::move(open); }
    // Where the manual is looked for (the program's folder unless a test says otherwise).
    void SetManualPath(const QString& path) { _manualPath = path; }
    // Where the runs are logged (the file beside the configuration unless a test says otherwise).
    void SetPracticeLog(const Configuration::PracticeLog& log) { _practiceLog = log; }
    QString PracticeTimeText() const { return _statusbar.PracticeTime(); }
    // The clock the practice time is read from (the heard time's unless a test says otherwise).
    void SetPracticeClock(std::function<Core::Moment()> clock) { _practiceClock = std::move(clock); }

    // Whether the metronome plays (a paused run included): asked of the metronome.
    bool Playing() const;
    bool Paused() const;
    QPushButton* StartButton() const { return _startButton; }
    QPushButton* TapButton() const { return _tapButton; }
    QSlider* TempoSlider() const { return _tempoSlider; }
    QSlider* VolumeSlider() const { return _volumeSlider; }
    BeatsPerMinuteDisplay& ReadOut() { return _readOut; }
    VisualBeatIndicator& Indicator() { return _indicator; }
    Toolbar& Tools() { return _toolbar; }
    // Playing with a session on the network.
    LinkControl* Link() const { return _link; }
    QString StatusText() const { return _statusbar.Text(); }
    QString StatusState() const { return _statusbar.State(); }
    QWidget* Client() const { return _client; }
    QAction* CommandAction(int command) const;
    Core::TapTempo& TapTempoObject() { return _tapTempo; }
    BigFlash& FlashWindow() { return *_flash; }
    bool Muted() const { return _muted; }
    Configuration::Setlists& SetlistStore() { return _setlists; }
    QToolBar* SetlistBar() const { return _setlistBar; }
    // What the setlist bar shows ("Friday: 3 of 12   Ballad"); empty with no setlist in use.
    QString SetlistPosition() const;
    // Puts setlist `index` in use (-1: none) and loads its first entry that exists.
    void UseSetlist(int index);
    // Opens the setlists dialog; the chosen list is put in use.
    void OpenSetlists();
    // Opens the song editor; PlaySong plays one of its songs from a section, as Start does.
    void OpenSongs();
    void PlaySong(const Configuration::Song& song, int section);
    SongPlayer& Songs() { return _songs; }

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

    void StartOrStop();
    void PauseOrStartOrStop();
    void StopIfPlaying();
    void OnTap();
    void OpenManual();
    void ExportClickTrackDialog(const Configuration::Song* song = nullptr);
    // The read-out's line of the song heard (none when no song plays).
    void ShowSongPlace();
    void ChooseSoundFontDialog();
    void ShowAbout();
    void ShutDown();

    void ChangeTempo(int bpm, bool moveSlider);
    void ShowTempo(int bpm);
    void MoveTempoSlider(int bpm);
    void OnTempoSlider(int position);
    void OnVolumeSlider(int position);
    // Whether the run playing owns the tempo (the speed trainer, a song).
    bool TrainerPlaying() const;
    void SetStatusInfo(int id);
    void SetStartButtonText(bool playing);
    // The Start button, the status bar's state and the tempo slider as the metronome stands.
    void ShowPlaying();

    void OnSpeedTrainerStarted(int tempo);
    void OnStopped(int tempo);
    void OnError(int messageId);
    // A run starts, pauses or resumes, ends: the practice time and the practice log follow.
    void BeginPracticeRun();
    void PausePracticeRun(bool paused);
    void EndPracticeRun();
    void ShowPracticeTime();

    void CreateStageMenus();
    QAction* AddNumberedItem(QMenu* menu, int command, int text, const char* keys, QAction* before = nullptr);
    void CreateSetlistBar();
    void ApplyStageTexts();
    void FitWindowHeight();
    void ToggleMute();
    void OpenFlash();
    // Keys pressed in the flash window that the main window acts on.
    bool FlashKey(int key);
    QAction* StageAction(int command) const;
    void StepSetlist(bool next);
    // Loads the setlist's entry in use (or `preset`) into the live settings; false when its
    // preset is gone.
    bool LoadSetlistEntry();
    bool LoadSetlistEntry(const std::string& preset);
    // The song of the setlist's entry in use, when it is a song entry whose song exists.
    const Configuration::Song* SetlistSong() const;
    // The next setlist entry took over from the one playing, on its grid.
    void OnContinued(int tag, int tempo);
    void ShowSetlistPosition();
    void SaveSetlists();
    // The setlist's entry ended after its bars: on to the next one, and play it.
    void AdvanceSetlist();
    std::int32_t SetlistBarLimit() const;

    Core::IMetronome& _metronome;
    Configuration::IConfiguration& _configuration;
    VisualBeatIndicator& _indicator;
    TypedDigits _digits;
    QTimer* _digitTimer = nullptr;
    QTimer* _deferredDigitsTimer = nullptr;  // two digits held back while playing
    Core::TapTempo _tapTempo;
    QTimer* _tapTimer = nullptr;
    Toolbar _toolbar;
    LinkControl* _link = nullptr;  // a child of the window
    Statusbar _statusbar;
    BeatsPerMinuteDisplay _readOut;
    std::unique_ptr<System::ILanguage> _language;
    std::unique_ptr<BigFlash> _flash;
    bool _muted = false;
    Configuration::Setlists _setlists;
    SetlistChangeover _changeover{_metronome, _configuration, _setlists};
    SongPlayer _songs{_metronome};
    QToolBar* _setlistBar = nullptr;
    QLabel* _setlistLabel = nullptr;
    QAction* _setlistActions[3] = {};
    QMenu* _stageMenus[2] = {};

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

    MetronomeEvents _events;
    bool _shutDown = false;
    // A click track is being written: its metronome shares the live one's strategies, so nothing
    // starts meanwhile (a remote Start may arrive while the progress dialog serves events).
    bool _exporting = false;

    std::function<void(int)> _openSettings;
    std::function<void()> _openLanguage;
    std::function<bool(const QString&)> _openDocument;
    QString _manualPath;

    // Said in the status bar while the run plays (subdivisions its tempo leaves out).
    QString _playingNote;
    PracticeTime _practice;
    Configuration::PracticeLog _practiceLog;
    Configuration::PracticeRun _practiceRun;
    QTimer* _practiceTimer = nullptr;
    std::function<Core::Moment()> _practiceClock = &Core::HeardTime::Now;
};

}  // namespace GUI
