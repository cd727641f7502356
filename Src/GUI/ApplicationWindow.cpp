#include "GUI/ApplicationWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "Configuration/ExtraSettings.h"
#include "Configuration/IConfiguration.h"
#include "Core/IMetronome.h"
#include "Core/Metronome.h"
#include "GUI/AccessibleNames.h"
#include "GUI/BigFlash.h"
#include "GUI/CoachControl.h"
#include "GUI/CountInDialog.h"
#include "GUI/Fonts.h"
#include "GUI/LanguageInUse.h"
#include "GUI/LanguageTexts.h"
#include "GUI/LinkControl.h"
#include "GUI/MessageBoxes.h"
#include "GUI/Model/TempoInput.h"
#include "GUI/QtTranslations.h"
#include "GUI/VisualBeatIndicator.h"
#include "GUI/WindowScale.h"
#include "Platform/LinkSession.h"
#include "Platform/Text.h"
#include "System/DefaultLanguage.h"
#include "System/ILanguage.h"
#include "System/ILog.h"
#include "System/LanguageSetUp.h"

namespace GUI {

using LanguageInUse::Text;
using LanguageInUse::Texts;

ApplicationWindow::ApplicationWindow(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                                     VisualBeatIndicator& indicator, Core::TapTempo::ClockFunction tapClock,
                                     Core::TapTempo::HeldKeysFunction tapKeys)
    : _metronome(metronome), _configuration(configuration), _indicator(indicator),
      _tempo(metronome, configuration, _readOut, *this, tapClock, tapKeys)
{
    setObjectName(QStringLiteral("MainWindow"));
    _transport.SetPlan(&_setlist);
    connect(&_transport, &Transport::PlaybackChanged, this, &ApplicationWindow::PlaybackChanged);
    connect(&_tempo, &TempoControls::TempoShown, this, &ApplicationWindow::TempoShown);
    connect(&_tempo, &TempoControls::Command, this, [this](int command) { OnCommand(command); });
    HandleCommands();
    FollowMetronome();
    _flash.Window().SetKeyForwarder([this](int key) {
        const int command = _commands.FlashCommand(key);
        return command != 0 && _commands.Run(command);
    });
}

ApplicationWindow::~ApplicationWindow()
{
    // A start that failed before the window existed saves nothing.
    if (!_shutDown && _client)
        ShutDown();
    // The indicator belongs to the program, not to this window.
    _indicator.hide();
    _indicator.setParent(nullptr);
    _tempo.TapTempoObject().EndSeries();
    System::SetCurrentLanguage(nullptr);
}

// What each command does: the parts carry them out.
void ApplicationWindow::HandleCommands()
{
    _commands.Handle(StartStop, [this] { _transport.StartOrStop(); });
    _commands.Handle(Pause, [this] { _transport.PauseOrStartOrStop(); });
    _commands.Handle(Tap, [this] { _tempo.Tap(); });
    _commands.Handle(Language, [this] {
        _transport.StopIfPlaying();
        if (_openLanguage)
            _openLanguage();
    });
    _commands.Handle(Exit, [this] { close(); });
    for (int command : {Options, SoundSettings, AudioFiles, Presets})
        _commands.Handle(command, [this, command] {
            _transport.StopIfPlaying();
            if (_openSettings)
                _openSettings(command - Options);
        });
    _commands.Handle(Help, [this] { _dialogs.OpenManual(); });
    _commands.Handle(About, [this] { _dialogs.ShowAbout(); });
    _commands.Handle(CountInSettings, [this] { _dialogs.CountIn(); });
    _commands.Handle(PracticeLogView, [this] { _dialogs.PracticeLog(); });
    _commands.Handle(Flash, [this] { _flash.Open(); });
    _commands.Handle(FullScreen, [this] { _flash.ToggleFullScreen(); });
    _commands.Handle(Mute, [this] { _flash.ToggleMute(_commands.Action(Mute)); });
    _commands.Handle(SetlistsDialog, [this] { _setlist.Open(); });
    _commands.Handle(SongsDialog, [this] { _dialogs.Songs(); });
    _commands.Handle(NextEntry, [this] { _setlist.Step(true); });
    _commands.Handle(PreviousEntry, [this] { _setlist.Step(false); });
    _commands.Handle(LeaveSetlist, [this] { _setlist.Use(-1); });
    _commands.Handle(ExportClickTrack, [this] {
        _transport.StopIfPlaying();
        _dialogs.ExportClickTrack();
    });
    _commands.Handle(ChooseSoundFont, [this] {
        _transport.StopIfPlaying();
        _dialogs.ChooseSoundFont();
    });
}

// What the metronome reports, to the parts it concerns.
void ApplicationWindow::FollowMetronome()
{
    connect(&_events, &MetronomeEvents::SpeedTrainerStarted, this, [this](int tempo) {
        // Inside Start, on this thread.
        _tempo.Show(tempo);
        _tempo.EnableSlider(false);
    });
    connect(&_events, &MetronomeEvents::TrainerTempo, this, [this](int tempo) { _tempo.Show(tempo); });
    connect(&_events, &MetronomeEvents::TrainerTempo, this, [this] { _transport.ShowSongPlace(); });
    connect(&_events, &MetronomeEvents::Stopped, this, [this](int tempo) {
        _tempo.Show(tempo);
        _transport.ShowPlaying();
        _setlist.OnStopped();
    });
    connect(&_events, &MetronomeEvents::Failed, this, [this](int messageId) { _transport.OnError(messageId); });
    // From the event loop, not inside the stop's report: the next entry's start may fail with a
    // message box.
    connect(
        &_events, &MetronomeEvents::BarLimitReached, this, [this] { _setlist.Advance(); }, Qt::QueuedConnection);
    connect(&_events, &MetronomeEvents::Continued, this,
            [this](int tag, int tempo) { _setlist.OnContinued(tag, tempo); });
}

bool ApplicationWindow::Initialise()
{
    if (!SetUpLanguage(_configuration.GetLanguage())) {
        // A language file gone or damaged since the last run: English, rather than no window.
        const std::string name = Platform::Text::Utf16ToUtf8(_configuration.GetLanguage());
        System::Log().Write(System::Warn, "The language '%s' could not be loaded; English is used instead",
                            name.c_str());
        if (!FallBackToEnglish())
            return false;
    }
    return CreateInterface();
}

// The built-in texts, with the language that failed forgotten.
bool ApplicationWindow::FallBackToEnglish()
{
    System::SetCurrentLanguage(nullptr);
    _language.reset();
    _configuration.GetLanguage()[0] = u'\0';
    return System::SetUpLanguage(_language, std::u16string_view());
}

bool ApplicationWindow::SetUpLanguage(const char16_t* name)
{
    std::u16string_view view = name ? std::u16string_view(name) : std::u16string_view();
    const bool loaded = System::SetUpLanguage(_language, view);
    // Qt's own buttons and dialogs follow, or go back to English with the built-in texts.
    QtTranslations::Follow(loaded ? view : std::u16string_view());
    return loaded;
}

bool ApplicationWindow::CreateInterface()
{
    setWindowTitle(Text(Texts().GetText(0)));
    setWindowIcon(QIcon(QStringLiteral(":/Res/ticova.png")));
    _commands.CreateMenus(
        _flash.Muted(), [this](int command) { _help.Show(command); }, [this] { _help.Clear(); });
    if (!Texts().IsDefault())
        LanguageTexts::ApplyMenuTexts(menuBar(), Texts());

    _client = new QWidget(this);
    _client->setObjectName(QStringLiteral("Client"));
    _client->setFixedSize(WindowScale::Scaled(QSize(ClientWidth, ClientHeight)));
    _client->setMouseTracking(true);
    _client->installEventFilter(this);
    setCentralWidget(_client);
    if (!CreateBars())
        return false;
    if (!_readOut.CreateBeatsPerMinuteDisplay(_client, static_cast<int>(_configuration.GetCurrentSettings().Bpm)))
        return false;
    _readOut.UpdateLabel(Text(Texts().GetText(1)));
    if (!_indicator.CreateVisualIndicatorWindow(_client))
        return false;
    CreateControls();
    // The indicator is drawn over the group box that frames it.
    _indicator.raise();

    SubClassChildControls(_client, this);
    ForwardKeysToParent(_client, StartButtonId, TempoSliderId, VolumeSliderId);
    // The volume slider, once focused, moves with its own keys instead of changing the tempo.
    KeepNavigationKeys(_tempo.VolumeSlider());
    // Playing with a session on the network: its items in Tools, the tempo both ways, and a
    // peer's start and stop; its toggle is the Tools item and the toolbar's last button.
    _link = new LinkControl(dynamic_cast<Core::Metronome*>(&_metronome), Platform::LinkSession::Instance(), this,
                            _commands.Action(LinkSession));
    _link->Place(menuBar()->actions().at(1)->menu());
    _toolbar.AddToggle(_link->Toggle(), LinkControl::WidestText());
    _toolbar.FitButtons(ClientWidth);
    connect(this, &ApplicationWindow::TempoShown, _link, &LinkControl::OnTempoShown);
    connect(_link, &LinkControl::TempoFromSession, this, &ApplicationWindow::RequestTempo);
    connect(_link, &LinkControl::StartFromSession, this, &ApplicationWindow::StartPlaying);
    connect(_link, &LinkControl::StopFromSession, this, &ApplicationWindow::StopPlaying);
    // The timing coach: its item in Tools; the metronome's clicks reach the big flash through it.
    _coach = new CoachControl(_flash.Window(), _metronome, this);
    _coach->Place(menuBar()->actions().at(1)->menu());
    _coach->Attach(_transport.Practice());
    _commands.CreateAccelerators();
    _setlist.CreateBar([this](int command) { OnCommand(command); });
    _setlist.ApplyTexts();
    _flash.ApplyTexts();
    _link->ApplyTexts();
    FitWindowHeight();
    ExposeToScreenReaders();
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->availableGeometry();
        move(desktop.x() + (desktop.width() - width()) / 2, desktop.y() + (desktop.height() - height()) / 2);
    }
    // The count-in and the visual latency of the second settings file.
    CountInDialog::Apply(Configuration::GetExtraSettings(), _metronome);
    // The songs: what their file could not give back is told once the window is up.
    _songs.Library().SetWindow(this);
    if (const QString problem = _songs.Library().Load(); !problem.isEmpty())
        QTimer::singleShot(0, this, [this, problem] {
            MessageBoxes::Show(this, QMessageBox::Warning, Text(Texts().GetText(0)), problem);
        });
    setFocusPolicy(Qt::StrongFocus);
    show();
    setFocus(Qt::OtherFocusReason);
    return true;
}

// The toolbar at the top of the client area, the status bar at its foot.
bool ApplicationWindow::CreateBars()
{
    QString toolbarTexts[Toolbar::ButtonCount];
    for (int i = 0; i < Toolbar::ButtonCount; ++i)
        toolbarTexts[i] = Text(Texts().GetToolbarText(i));
    if (!_toolbar.Create(_client, toolbarTexts))
        return false;
    const int clientWidth = WindowScale::Scaled(ClientWidth);
    _toolbar.FitButtons(clientWidth);
    _toolbar.Widget()->setGeometry(0, 0, clientWidth, _toolbar.Widget()->sizeHint().height());
    for (int i = 0; i < Toolbar::ButtonCount; ++i) {
        QAction* action = _toolbar.Action(Toolbar::FirstCommand + i);
        connect(action, &QAction::triggered, this, [this, i] { OnCommand(Toolbar::FirstCommand + i); });
        if (QToolButton* button = _toolbar.Button(Toolbar::FirstCommand + i))
            button->installEventFilter(this);
    }
    _toolbar.Widget()->installEventFilter(this);

    if (!_statusbar.CreateStatusbar(_client))
        return false;
    const int statusHeight = _statusbar.Widget()->sizeHint().height();
    _statusbar.Widget()->setGeometry(0, WindowScale::Scaled(ClientHeight) - statusHeight, clientWidth, statusHeight);
    return true;
}

void ApplicationWindow::CreateControls()
{
    _groupBox = new QGroupBox(Text(Texts().GetControlText(-1)), _client);
    SetControlId(_groupBox, -1);
    _groupBox->setGeometry(WindowScale::Scaled(220, 62, 52, 52));

    _startButton = new QPushButton(_client);
    SetControlId(_startButton, StartButtonId);
    _startButton->setGeometry(WindowScale::Scaled(282, 70, 100, 45));
    _startButton->setFocusPolicy(Qt::TabFocus);
    connect(_startButton, &QPushButton::clicked, this, [this] { OnCommand(StartStop); });
    _transport.SetStartButton(_startButton);

    _tempo.Create(_client);
    ApplyControlTexts();

    const QFont controlFont = Fonts::CreateScaledFont(8, 400);
    _startButton->setFont(controlFont);
    _tempo.SetFont(controlFont);
    if (!_groupBox->title().isEmpty())
        _groupBox->setFont(controlFont);
}

void ApplicationWindow::ApplyControlTexts()
{
    _transport.ShowStartButton();
    _tempo.ApplyTexts();
}

void ApplicationWindow::ExposeToScreenReaders()
{
    AccessibleNames::SetHelp(this, [](int id) { return StatusHelp::Text(id); });
    AccessibleNames::NameWindowsWhenShown();
    // The slider's scale is logarithmic: it is read and set in bpm.
    AccessibleNames::ExposeValue(
        _tempo.TempoSlider(), TempoInput::SliderMinimumTempo, TempoInput::SliderMaximumTempo,
        [this] { return Tempo(); }, [this](int bpm) { _tempo.ChangeTempo(bpm, true); },
        [this] { return _readOut.Label(); });
    // The indicator reads the beat while playing, when asked: the beats themselves send nothing.
    AccessibleNames::ExposeText(&_indicator, QAccessible::Indicator,
                                [this] { return Playing() ? _flash.Window().LatestBeatText() : QString(); });
}

void ApplicationWindow::FitWindowHeight()
{
    const QSize client = WindowScale::Scaled(QSize(ClientWidth, ClientHeight));
    setFixedSize(client.width(), client.height() + menuBar()->sizeHint().height() + _setlist.Bar().Height());
}

QAction* ApplicationWindow::CommandAction(int command) const
{
    if (QAction* action = _commands.Action(command))
        return action;
    return _toolbar.Action(command);
}

void ApplicationWindow::keyPressEvent(QKeyEvent* event)
{
    if (_tempo.KeyPressed(event))
        event->accept();
    else
        QMainWindow::keyPressEvent(event);
}

bool ApplicationWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == _client && event->type() == QEvent::MouseMove) {
        MouseOverBackground(_client, static_cast<QMouseEvent*>(event)->position().toPoint());
        return false;
    }
    if (_help.ToolbarEvent(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void ApplicationWindow::ChangeLanguage(const char16_t* name)
{
    if (!SetUpLanguage(name))
        FallBackToEnglish();
    LanguageTexts::ApplyMenuTexts(menuBar(), Texts());
    QString toolbarTexts[Toolbar::ButtonCount];
    for (int i = 0; i < Toolbar::ButtonCount; ++i)
        toolbarTexts[i] = Text(Texts().GetToolbarText(i));
    _toolbar.SetToggleWidest(LinkControl::WidestText());
    _toolbar.UpdateLanguage(toolbarTexts);
    _readOut.UpdateLabel(Text(Texts().GetText(1)));
    ApplyControlTexts();
    _setlist.ApplyTexts();
    _flash.ApplyTexts();
    if (_link != nullptr)
        _link->ApplyTexts();
    if (_coach != nullptr)
        _coach->ApplyTexts();
    FitWindowHeight();
    setWindowTitle(Text(Texts().GetText(0)));
    AccessibleNames::NameControls(this);
    // The status text was in the old language: clear it, and forget the control last under the
    // mouse, so that the next move over that same control shows its text anew.
    LastControl = 0;
    _help.Clear();
}

void ApplicationWindow::BringToFront()
{
    if (isMinimized() && !isMaximized())
        showNormal();
    show();
    raise();
    activateWindow();
}

Core::IBeatFlash& ApplicationWindow::BeatListener()
{
    if (_coach != nullptr)
        return *_coach;
    return _flash.Window();
}

void ApplicationWindow::RunCommands(const CommandLine& commands)
{
    if (commands.preset) {
        const std::u16string name = Platform::Text::Utf8ToUtf16(*commands.preset);
        if (_configuration.LoadPreset(name.c_str())) {
            _transport.StopIfPlaying();
            ReloadSettings();
        } else {
            System::Log().Write(System::Warn, "The preset %s asked for on the command line does not exist",
                                Platform::Text::Escaped(*commands.preset).c_str());
        }
    }
    if (commands.link && _link != nullptr)
        _link->Enable(true);
    if (commands.bpm)
        RequestTempo(*commands.bpm);
    if (commands.start)
        StartPlaying();
}

// ---- Shut-down ------------------------------------------------------------------------------

void ApplicationWindow::QuitAsExit()
{
    // Dialogs first, innermost first; each one's own loop ends when the event loop unwinds.
    for (int guard = 0; guard < 16; ++guard) {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            break;
        dialog->reject();
    }
    close();
    QCoreApplication::quit();
}

void ApplicationWindow::closeEvent(QCloseEvent* event)
{
    if (!_shutDown)
        ShutDown();
    event->accept();
}

void ApplicationWindow::ShutDown()
{
    _shutDown = true;
    // Stop joins the timer thread and closes the sound engines before it returns: nothing of
    // the run is left to wait for.
    if (Playing())
        _metronome.Stop();
    _transport.EndRun();
    if (_songs.Library().Waiting())
        _songs.Library().SaveWaiting();
    if (_client)
        RestoreChildControls(_client);
    // The flash window keeps its size for the next time.
    _flash.Close();
    if (!_configuration.Save()) {
        // The file as it was stays, but what changed since start is lost: the user must know.
        const std::string problem = _configuration.SaveProblem();
        if (!problem.empty())
            MessageBoxes::Show(this, QMessageBox::Warning, QStringLiteral("Ticova"),
                               QStringLiteral("The settings could not be saved in %1\n\n"
                                              "The changes made since they were last saved are lost.")
                                   .arg(QString::fromStdString(problem)));
    }
    _tempo.Stop();
}

}  // namespace GUI
