#include "GUI/ApplicationWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <chrono>
#include <cmath>
#include <thread>

#include "Configuration/ExtraSettings.h"
#include "Configuration/IConfiguration.h"
#include "Core/HeardTime.h"
#include "Core/IMetronome.h"
#include "Core/Metronome.h"
#include "Core/MetronomeStrategy.h"
#include "Core/OutputSettings.h"
#include "Core/SettingsRange.h"
#include "GUI/CountInDialog.h"
#include "GUI/AboutDialog.h"
#include "GUI/AccessibleNames.h"
#include "GUI/BigFlash.h"
#include "GUI/ConnectionTexts.h"
#include "GUI/ExportDialog.h"
#include "GUI/Fonts.h"
#include "GUI/LanguageTexts.h"
#include "GUI/LinkControl.h"
#include "GUI/MessageBoxes.h"
#include "GUI/NoticeTexts.h"
#include "GUI/PracticeLogDialog.h"
#include "GUI/PracticeTexts.h"
#include "GUI/Model/TempoInput.h"
#include "GUI/QtTranslations.h"
#include "GUI/SetlistDialog.h"
#include "GUI/SongEditorDialog.h"
#include "GUI/SongTexts.h"
#include "GUI/StageTexts.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/LinkSession.h"
#include "Platform/LocalTime.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Text.h"
#include "System/DefaultLanguage.h"
#include "System/ILanguage.h"
#include "System/ILog.h"
#include "System/LanguageSetUp.h"

namespace GUI {

namespace {

unsigned HeldModifierKeys() noexcept
{
    Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    unsigned held = 0;
    if (modifiers & Qt::ControlModifier)
        held |= Core::TapTempo::CtrlHeld;
    if (modifiers & Qt::ShiftModifier)
        held |= Core::TapTempo::ShiftHeld;
    return held;
}

QString Text(const char16_t* text)
{
    return LanguageTexts::Text(text);
}

const System::ILanguage& Texts()
{
    return System::CurrentLanguage();
}

// The menus of the big flash and the setlists, before Help: their items by command and text.
struct StageItem {
    int menu;
    int command;
    int text;
    const char* keys;
};

const StageItem StageItems[] = {
    {0, ApplicationWindow::Flash, StageTexts::FlashItem, "Ctrl+B"},
    {0, ApplicationWindow::FullScreen, StageTexts::FullScreenItem, "F11"},
    {0, ApplicationWindow::Mute, StageTexts::MuteItem, "M"},
    {1, ApplicationWindow::SetlistsDialog, StageTexts::SetlistsItem, "Ctrl+E"},
    {1, ApplicationWindow::NextEntry, StageTexts::NextItem, "N"},
    {1, ApplicationWindow::PreviousEntry, StageTexts::PreviousItem, "B"},
    {1, ApplicationWindow::SongsDialog, SongTexts::SongsItem, "Ctrl+J"},
};

// The menu as the program starts, in English; a language replaces these texts. The menu shows
// each item's shortcut from its keys.
struct MenuItem {
    int menu;
    int command;
    const char* text;
    const char* keys;
};

const char* const MenuTitles[3] = {"&File", "&Tools", "&Help"};

const MenuItem MenuItems[8] = {
    {0, ApplicationWindow::Language, "&Language", "Ctrl+L"},
    {0, ApplicationWindow::Exit, "E&xit", "Ctrl+Q"},
    {1, ApplicationWindow::Options, "&Options ...", "Ctrl+O"},
    {1, ApplicationWindow::SoundSettings, "&Sound Settings...", "Ctrl+S"},
    {1, ApplicationWindow::AudioFiles, "&Audio Files...", "Ctrl+A"},
    {1, ApplicationWindow::Presets, "&Presets ...", "Ctrl+P"},
    {2, ApplicationWindow::Help, "&Help", "Ctrl+F1"},
    {2, ApplicationWindow::About, "&About", "Ctrl+F3"},
};

TempoInput::Key TempoKey(const QKeyEvent* event)
{
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_PageUp: return TempoInput::Key::PageUp;
    case Qt::Key_PageDown: return TempoInput::Key::PageDown;
    case Qt::Key_Up: return TempoInput::Key::Up;
    case Qt::Key_Right: return TempoInput::Key::Right;
    case Qt::Key_Down: return TempoInput::Key::Down;
    case Qt::Key_Left: return TempoInput::Key::Left;
    case Qt::Key_Plus: return keypad ? TempoInput::Key::Plus : TempoInput::Key::Other;
    case Qt::Key_Minus: return keypad ? TempoInput::Key::Minus : TempoInput::Key::Other;
    default: return TempoInput::Key::Other;
    }
}

}  // namespace

ApplicationWindow::ApplicationWindow(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                                     VisualBeatIndicator& indicator, Core::TapTempo::ClockFunction tapClock,
                                     Core::TapTempo::HeldKeysFunction tapKeys)
    : _metronome(metronome), _configuration(configuration), _indicator(indicator),
      _tapTempo(tapClock, tapKeys ? tapKeys : &HeldModifierKeys)
{
    setObjectName(QStringLiteral("MainWindow"));
    _openDocument = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    _manualPath = QString::fromStdString(Platform::DocumentFolder()) + QStringLiteral("Ticova.pdf");

    _digitTimer = new QTimer(this);
    _digitTimer->setSingleShot(true);
    _digitTimer->setInterval(TypedDigits::ExpiryMs);
    connect(_digitTimer, &QTimer::timeout, this, [this] { _digits.Clear(); });
    _deferredDigitsTimer = new QTimer(this);
    _deferredDigitsTimer->setSingleShot(true);
    _deferredDigitsTimer->setInterval(TypedDigits::DeferMs);
    connect(_deferredDigitsTimer, &QTimer::timeout, this, [this] {
        if (const std::int32_t tempo = _digits.TakeDeferred()) {
            _digitTimer->stop();
            RequestTempo(tempo);
        }
    });

    _practiceTimer = new QTimer(this);
    _practiceTimer->setInterval(1000);
    connect(_practiceTimer, &QTimer::timeout, this, [this] { ShowPracticeTime(); });

    _tapTimer = new QTimer(this);
    _tapTimer->setInterval(Core::TapTempo::TimeOutIntervalMs);
    connect(_tapTimer, &QTimer::timeout, this, [this] {
        if (_tapTempo.OnTimeOut())
            _tapTimer->stop();
    });

    connect(&_events, &MetronomeEvents::SpeedTrainerStarted, this, &ApplicationWindow::OnSpeedTrainerStarted);
    connect(&_events, &MetronomeEvents::TrainerTempo, this, &ApplicationWindow::ShowTempo);
    connect(&_events, &MetronomeEvents::TrainerTempo, this, &ApplicationWindow::ShowSongPlace);
    connect(&_events, &MetronomeEvents::Stopped, this, &ApplicationWindow::OnStopped);
    connect(&_events, &MetronomeEvents::Failed, this, &ApplicationWindow::OnError);
    // From the event loop, not inside the stop's report: the next entry's start may fail with a
    // message box.
    connect(&_events, &MetronomeEvents::BarLimitReached, this, &ApplicationWindow::AdvanceSetlist,
            Qt::QueuedConnection);
    connect(&_events, &MetronomeEvents::Continued, this, &ApplicationWindow::OnContinued);

    _flash = std::make_unique<BigFlash>();
    _flash->SetKeyForwarder([this](int key) { return FlashKey(key); });
    const Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    _muted = extras.Flag("flash.mute", false);
    _metronome.SetMuted(_muted);
    _flash->ShowMuted(_muted);
    _setlists.Read(extras);
    // Song entries play the songs of the song editor.
    _setlists.SetSongExists([this](const std::string& name) { return _songs.Library().Find(name) != nullptr; });
    _changeover.SetSongFinder([this](const std::string& name) { return _songs.Library().Find(name); });
}

ApplicationWindow::~ApplicationWindow()
{
    // A start that failed before the window existed saves nothing.
    if (!_shutDown && _client)
        ShutDown();
    // The indicator belongs to the program, not to this window.
    _indicator.hide();
    _indicator.setParent(nullptr);
    _tapTempo.EndSeries();
    System::SetCurrentLanguage(nullptr);
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
    CreateMenu();
    if (!Texts().IsDefault())
        LanguageTexts::ApplyMenuTexts(menuBar(), Texts());

    _client = new QWidget(this);
    _client->setObjectName(QStringLiteral("Client"));
    _client->setFixedSize(ClientWidth, ClientHeight);
    _client->setMouseTracking(true);
    _client->installEventFilter(this);
    setCentralWidget(_client);

    QString toolbarTexts[Toolbar::ButtonCount];
    for (int i = 0; i < Toolbar::ButtonCount; ++i)
        toolbarTexts[i] = ToolbarText(i);
    if (!_toolbar.Create(_client, toolbarTexts))
        return false;
    _toolbar.FitButtons(ClientWidth);
    _toolbar.Widget()->setGeometry(0, 0, ClientWidth, _toolbar.Widget()->sizeHint().height());
    for (int i = 0; i < Toolbar::ButtonCount; ++i) {
        QAction* action = _toolbar.Action(Toolbar::FirstCommand + i);
        connect(action, &QAction::triggered, this, [this, i] { OnCommand(Toolbar::FirstCommand + i); });
        if (QToolButton* button = _toolbar.Button(Toolbar::FirstCommand + i))
            button->installEventFilter(this);
    }
    _toolbar.Widget()->installEventFilter(this);

    // Playing with a session on the network: its toggle in Tools, the tempo both ways, and a
    // peer's start and stop.
    _link = new LinkControl(dynamic_cast<Core::Metronome*>(&_metronome), Platform::LinkSession::Instance(), this);
    // The toolbar's four buttons fill its fixed width at their least size: the toggle waits
    // for the split window's toolbar (Place(menu, toolbar) puts it there).
    _link->Place(_menus[1], nullptr);
    connect(this, &ApplicationWindow::TempoShown, _link, &LinkControl::OnTempoShown);
    connect(_link, &LinkControl::TempoFromSession, this, &ApplicationWindow::RequestTempo);
    connect(_link, &LinkControl::StartFromSession, this, &ApplicationWindow::StartPlaying);
    connect(_link, &LinkControl::StopFromSession, this, &ApplicationWindow::StopPlaying);

    if (!_statusbar.CreateStatusbar(_client))
        return false;
    const int statusHeight = _statusbar.Widget()->sizeHint().height();
    _statusbar.Widget()->setGeometry(0, ClientHeight - statusHeight, ClientWidth, statusHeight);

    const QFont controlFont = Fonts::CreateScaledFont(8, 400);
    if (!_readOut.CreateBeatsPerMinuteDisplay(_client, static_cast<int>(_configuration.GetCurrentSettings().Bpm)))
        return false;
    _readOut.UpdateLabel(Text(Texts().GetText(1)));
    if (!_indicator.CreateVisualIndicatorWindow(_client))
        return false;
    CreateControls();
    for (QWidget* widget : {static_cast<QWidget*>(_startButton), static_cast<QWidget*>(_tapButton),
                            static_cast<QWidget*>(_tempoLabel), static_cast<QWidget*>(_volumeLabel)})
        widget->setFont(controlFont);
    if (!_groupBox->title().isEmpty())
        _groupBox->setFont(controlFont);
    // The indicator is drawn over the group box that frames it.
    _indicator.raise();

    SubClassChildControls(_client, this);
    ForwardKeysToParent(_client, StartButtonId, TempoSliderId, VolumeSliderId);
    // The volume slider, once focused, moves with its own keys instead of changing the tempo.
    KeepNavigationKeys(_volumeSlider);
    CreateAccelerators();
    CreateSetlistBar();
    ApplyStageTexts();
    if (_link != nullptr)
        _link->ApplyTexts();

    FitWindowHeight();
    AccessibleNames::SetHelp(this, [this](int id) {
        const int number = StatusInfoNumber(id);
        return number < 0 ? QString() : Text(Texts().GetStatusInfo(number));
    });
    AccessibleNames::NameWindowsWhenShown();
    // The slider's scale is logarithmic: it is read and set in bpm.
    AccessibleNames::ExposeValue(
        _tempoSlider, TempoInput::SliderMinimumTempo, TempoInput::SliderMaximumTempo, [this] { return Tempo(); },
        [this](int bpm) { ChangeTempo(bpm, true); }, [this] { return _readOut.Label(); });
    // The indicator reads the beat while playing, when asked: the beats themselves send nothing.
    AccessibleNames::ExposeText(&_indicator, QAccessible::Indicator,
                                [this] { return Playing() ? _flash->LatestBeatText() : QString(); });
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

void ApplicationWindow::CreateMenu()
{
    QMenuBar* bar = menuBar();
    for (int i = 0; i < 3; ++i)
        _menus[i] = bar->addMenu(QString::fromLatin1(MenuTitles[i]));
    for (int i = 0; i < 8; ++i) {
        const MenuItem& item = MenuItems[i];
        // A separator before Exit and before About.
        if (item.command == Exit || item.command == About)
            _menus[item.menu]->addSeparator();
        QAction* action = _menus[item.menu]->addAction(QString::fromLatin1(item.text));
        action->setShortcut(QKeySequence(QString::fromLatin1(item.keys)));
        action->setShortcutContext(Qt::WindowShortcut);
        action->setData(item.command);
        const int command = item.command;
        connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
        connect(action, &QAction::hovered, this, [this, command] { SetStatusInfo(command); });
        _menuActions[i] = action;
    }
    // Commands beyond the language files' menu: their texts come from the Text group. Export
    // goes before Exit, the SoundFont after the sound settings, the others at the end of Tools.
    AddNumberedItem(_menus[0], ExportClickTrack, ConnectionTexts::ExportMenu, "", _menus[0]->actions().value(1));
    AddNumberedItem(_menus[1], ChooseSoundFont, ConnectionTexts::SoundFontMenu, "", _menuActions[4]);
    AddNumberedItem(_menus[1], CountInSettings, PracticeTexts::MenuCountIn, "Ctrl+K");
    AddNumberedItem(_menus[1], PracticeLogView, PracticeTexts::MenuPracticeLog, "Ctrl+G");
    for (QMenu* menu : _menus)
        connect(menu, &QMenu::aboutToHide, this, [this] { _statusbar.SetText(QString()); });
    CreateStageMenus();
}

void ApplicationWindow::CreateStageMenus()
{
    // Before Help; their texts are numbered in the "Text" group, so the other menus keep theirs.
    const int titles[2] = {StageTexts::ViewMenu, StageTexts::SetlistMenu};
    for (int i = 0; i < 2; ++i) {
        _stageMenus[i] = new QMenu(Text(Texts().GetText(titles[i])), this);
        LanguageTexts::SetTextNumber(_stageMenus[i]->menuAction(), titles[i]);
        menuBar()->insertMenu(_menus[2]->menuAction(), _stageMenus[i]);
    }
    for (const StageItem& item : StageItems) {
        QAction* action = AddNumberedItem(_stageMenus[item.menu], item.command, item.text, item.keys);
        if (item.command == Mute) {
            action->setCheckable(true);
            action->setChecked(_muted);
        }
    }
}

// A menu item whose text is number `text` of the Text group (LanguageTexts keeps it so through a
// language change), before `before` (null: at the end).
QAction* ApplicationWindow::AddNumberedItem(QMenu* menu, int command, int text, const char* keys, QAction* before)
{
    auto* action = new QAction(LanguageTexts::MenuText(Texts().GetText(text)), menu);
    LanguageTexts::SetTextNumber(action, text);
    action->setShortcut(QKeySequence(QString::fromLatin1(keys)));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    menu->insertAction(before, action);
    return action;
}

void ApplicationWindow::ApplyStageTexts()
{
    // The menus' own texts follow the language with the rest of the menu bar (ApplyMenuTexts).
    const int bar[3] = {StageTexts::PreviousButton, StageTexts::NextButton, StageTexts::LeaveButton};
    for (int i = 0; i < 3; ++i)
        if (_setlistActions[i])
            _setlistActions[i]->setText(Text(Texts().GetText(bar[i])));
    ShowSetlistPosition();
    if (_flash)
        _flash->ShowMuted(_muted);
}

void ApplicationWindow::CreateSetlistBar()
{
    // A row under the menu, there while a setlist is in use.
    _setlistBar = new QToolBar(this);
    _setlistBar->setObjectName(QStringLiteral("SetlistBar"));
    _setlistBar->setMovable(false);
    _setlistBar->setFloatable(false);
    _setlistBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    _setlistBar->setIconSize(QSize(16, 16));
    const QStyle::StandardPixmap icons[3] = {QStyle::SP_ArrowLeft, QStyle::SP_ArrowRight, QStyle::SP_DialogCloseButton};
    const int commands[3] = {PreviousEntry, NextEntry, LeaveSetlist};
    for (int i = 0; i < 3; ++i) {
        if (i == 2)
            _setlistBar->addSeparator();
        _setlistActions[i] = _setlistBar->addAction(style()->standardIcon(icons[i]), QString());
        _setlistActions[i]->setData(commands[i]);
        const int command = commands[i];
        connect(_setlistActions[i], &QAction::triggered, this, [this, command] { OnCommand(command); });
        if (i == 0) {
            _setlistLabel = new QLabel(_setlistBar);
            _setlistLabel->setObjectName(QStringLiteral("SetlistPosition"));
            _setlistLabel->setTextFormat(Qt::PlainText);
            _setlistLabel->setMinimumWidth(150);
            _setlistBar->addWidget(_setlistLabel);
        }
    }
    addToolBar(Qt::TopToolBarArea, _setlistBar);
    _setlistBar->setVisible(_setlists.Active() >= 0);
}

void ApplicationWindow::FitWindowHeight()
{
    const int bar = _setlistBar && !_setlistBar->isHidden() ? _setlistBar->sizeHint().height() : 0;
    setFixedSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height() + bar);
}

void ApplicationWindow::CreateAccelerators()
{
    struct Accelerator {
        int command;
        QKeySequence keys;
    };
    const Accelerator accelerators[] = {
        {StartStop, QKeySequence(Qt::Key_S)},      {StartStop, QKeySequence(Qt::Key_Return)},
        {StartStop, QKeySequence(Qt::Key_Enter)},  {Pause, QKeySequence(Qt::Key_Space)},
        {Tap, QKeySequence(Qt::Key_T)},           {Tap, QKeySequence(Qt::CTRL | Qt::Key_T)},
        {Tap, QKeySequence(Qt::SHIFT | Qt::Key_T)}, {Tap, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T)},
    };
    for (const Accelerator& accelerator : accelerators) {
        auto* action = new QAction(this);
        action->setShortcut(accelerator.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setData(accelerator.command);
        const int command = accelerator.command;
        connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
        addAction(action);
    }
}

void ApplicationWindow::CreateControls()
{
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();

    _groupBox = new QGroupBox(Text(Texts().GetControlText(-1)), _client);
    SetControlId(_groupBox, -1);
    _groupBox->setGeometry(220, 62, 52, 52);

    _startButton = new QPushButton(_client);
    SetControlId(_startButton, StartButtonId);
    _startButton->setGeometry(282, 70, 100, 45);
    _startButton->setFocusPolicy(Qt::TabFocus);
    connect(_startButton, &QPushButton::clicked, this, [this] { OnCommand(StartStop); });

    _tempoSlider = new QSlider(Qt::Horizontal, _client);
    SetControlId(_tempoSlider, TempoSliderId);
    _tempoSlider->setGeometry(60, 170, 280, 24);
    _tempoSlider->setRange(TempoInput::SliderPosition(TempoInput::SliderMinimumTempo),
                           TempoInput::SliderPosition(TempoInput::SliderMaximumTempo));
    _tempoSlider->setPageStep(100);
    _tempoSlider->setSingleStep(10);
    _tempoSlider->setTickPosition(QSlider::NoTicks);
    MoveTempoSlider(static_cast<int>(settings.Bpm));
    connect(_tempoSlider, &QSlider::valueChanged, this, &ApplicationWindow::OnTempoSlider);

    _tempoLabel = new QLabel(_client);
    SetControlId(_tempoLabel, TempoLabelId);
    _tempoLabel->setGeometry(10, 175, 60, 20);

    _volumeSlider = new QSlider(Qt::Horizontal, _client);
    SetControlId(_volumeSlider, VolumeSliderId);
    _volumeSlider->setGeometry(60, 196, 280, 24);
    _volumeSlider->setRange(0, 100);
    _volumeSlider->setPageStep(10);
    _volumeSlider->setTickPosition(QSlider::NoTicks);
    _volumeSlider->setValue(static_cast<int>(settings.GlobalVolume));
    connect(_volumeSlider, &QSlider::valueChanged, this, &ApplicationWindow::OnVolumeSlider);
    // The volume slider shows its value while it is dragged.
    connect(_volumeSlider, &QSlider::sliderMoved, this, [this](int value) {
        QToolTip::showText(QCursor::pos(), QString::number(value), _volumeSlider);
    });

    _volumeLabel = new QLabel(_client);
    SetControlId(_volumeLabel, VolumeLabelId);
    _volumeLabel->setGeometry(10, 202, 60, 20);

    _tapButton = new QPushButton(_client);
    SetControlId(_tapButton, TapButtonId);
    _tapButton->setGeometry(338, 166, 48, 32);
    _tapButton->setFocusPolicy(Qt::TabFocus);
    connect(_tapButton, &QPushButton::clicked, this, [this] { OnCommand(Tap); });

    ApplyControlTexts();
}

void ApplicationWindow::ApplyControlTexts()
{
    SetStartButtonText(Playing());
    _tapButton->setText(Text(Texts().GetControlText(TapButtonId)));
    _tempoLabel->setText(Text(Texts().GetControlText(TempoLabelId)));
    _volumeLabel->setText(Text(Texts().GetControlText(VolumeLabelId)));
    // The sliders start after the longer of their two labels ("Lautstärke"), at 60 at least.
    const int labels = std::max(QFontMetrics(_tempoLabel->font()).horizontalAdvance(_tempoLabel->text()),
                                QFontMetrics(_volumeLabel->font()).horizontalAdvance(_volumeLabel->text()));
    const int left = std::max(60, _tempoLabel->x() + labels + 6);
    const int right = _tapButton->x();
    _tempoSlider->setGeometry(left, _tempoSlider->y(), right - left, _tempoSlider->height());
    _volumeSlider->setGeometry(left, _volumeSlider->y(), right - left, _volumeSlider->height());
    _tempoLabel->resize(left - _tempoLabel->x(), _tempoLabel->height());
    _volumeLabel->resize(left - _volumeLabel->x(), _volumeLabel->height());
}

QString ApplicationWindow::ToolbarText(int index) const
{
    return Text(Texts().GetToolbarText(index));
}

QAction* ApplicationWindow::CommandAction(int command) const
{
    for (QAction* action : _menuActions)
        if (action && action->data().toInt() == command)
            return action;
    if (_menus[1])
        for (QAction* action : _menus[1]->actions())
            if (action->data().toInt() == command)
                return action;
    for (QAction* action : actions())
        if (action->data().toInt() == command)
            return action;
    if (QAction* action = StageAction(command))
        return action;
    for (QMenu* menu : _menus)
        for (QAction* action : menu ? menu->actions() : QList<QAction*>())
            if (action->data().toInt() == command)
                return action;
    return _toolbar.Action(command);
}

// ---- Commands -------------------------------------------------------------------------------

void ApplicationWindow::OnCommand(int command)
{
    switch (command) {
    case StartStop: StartOrStop(); break;
    case Pause: PauseOrStartOrStop(); break;
    case Tap: OnTap(); break;
    case Language:
        StopIfPlaying();
        if (_openLanguage)
            _openLanguage();
        break;
    case Exit: close(); break;
    case Options:
    case SoundSettings:
    case AudioFiles:
    case Presets:
        StopIfPlaying();
        if (_openSettings)
            _openSettings(command - Options);
        break;
    case Help: OpenManual(); break;
    case About: ShowAbout(); break;
    case CountInSettings: {
        CountInDialog dialog(_metronome, Configuration::GetExtraSettings(), this);
        dialog.exec();
        break;
    }
    case PracticeLogView: {
        PracticeLogDialog dialog(_practiceLog, this);
        dialog.exec();
        break;
    }
    case Flash: OpenFlash(); break;
    case FullScreen: {
        // A flash window not shown yet opens full screen, one shown switches.
        const bool shown = _flash->isVisible();
        OpenFlash();
        if (shown || !_flash->isFullScreen())
            _flash->ToggleFullScreen();
        break;
    }
    case Mute: ToggleMute(); break;
    case SetlistsDialog: OpenSetlists(); break;
    case SongsDialog: OpenSongs(); break;
    case NextEntry: StepSetlist(true); break;
    case PreviousEntry: StepSetlist(false); break;
    case LeaveSetlist: UseSetlist(-1); break;
    case ExportClickTrack:
        StopIfPlaying();
        ExportClickTrackDialog();
        break;
    case ChooseSoundFont:
        StopIfPlaying();
        ChooseSoundFontDialog();
        break;
    default: break;
    }
}

bool ApplicationWindow::Playing() const
{
    return _metronome.IsPlaying();
}

bool ApplicationWindow::Paused() const
{
    return _metronome.IsPaused();
}

void ApplicationWindow::SetStartButtonText(bool playing)
{
    // While paused, the button and the status bar say so.
    const bool paused = playing && _metronome.IsPaused();
    if (_startButton)
        _startButton->setText(paused ? Text(Texts().GetText(17))
                                     : Text(Texts().GetControlText(playing ? 1002 : StartButtonId)));
    _statusbar.SetState(paused ? Text(Texts().GetText(16)) : playing ? _playingNote : QString());
    emit PlaybackChanged(playing, paused);
}

void ApplicationWindow::ShowPlaying()
{
    SetStartButtonText(Playing());
    // The speed trainer owns the tempo while it plays.
    if (_tempoSlider)
        _tempoSlider->setEnabled(!TrainerPlaying());
    // A run that ended (stopped, stopped itself, failed) is logged once, and the flash goes dark.
    if (!Playing()) {
        _readOut.SetCaption(QString());
        EndPracticeRun();
        if (_flash)
            _flash->Clear();
    }
}

// ---- Practice time --------------------------------------------------------------------------

void ApplicationWindow::BeginPracticeRun()
{
    // A run that stopped itself, its report still on the way here, is logged before the next.
    EndPracticeRun();
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    const Platform::LocalTime now = Platform::LocalTime::Now();
    _practiceRun = Configuration::PracticeRun{};
    _practiceRun.year = now.Year;
    _practiceRun.month = now.Month;
    _practiceRun.day = now.Day;
    _practiceRun.hour = now.Hour;
    _practiceRun.minute = now.Minute;
    _practiceRun.preset = Platform::Text::Utf16ToUtf8(settings.PresetName);
    // A song is logged under its own name.
    std::string song;
    int section = 0, bar = 0;
    if (_songs.Heard(song, section, bar))
        _practiceRun.preset = song;
    _practiceRun.beatType = Configuration::PracticeLog::BeatTypeName(settings.BeatType);
    if (settings.SpeedTrainer != 0) {
        const float bpm = static_cast<float>(Core::SettingsRange::Bpm(settings));
        _practiceRun.trainerFrom = static_cast<int>(std::lround(Core::SettingsRange::From(settings) * bpm));
        _practiceRun.trainerTo = static_cast<int>(std::lround(Core::SettingsRange::To(settings) * bpm));
    }
    _practice.Start(_practiceClock());
    ShowPracticeTime();
    _practiceTimer->start();
}

void ApplicationWindow::PausePracticeRun(bool paused)
{
    if (paused)
        _practice.Pause(_practiceClock());
    else
        _practice.Resume(_practiceClock());
}

void ApplicationWindow::EndPracticeRun()
{
    if (!_practice.Running())
        return;
    _practiceTimer->stop();
    _practiceRun.minutes = _practice.Stop(_practiceClock());
    _practiceRun.tempo = static_cast<int>(Core::SettingsRange::Bpm(_configuration.GetCurrentSettings()));
    // A start and a stop at once (a try of the sound, a key pressed twice) is no practice.
    if (_practiceRun.minutes * 60 >= PracticeTime::ShortestLoggedSeconds)
        _practiceLog.Append(_practiceRun);  // a failure is logged there; playing is not held up by it
    _statusbar.SetPracticeTime(QString());
}

void ApplicationWindow::ShowPracticeTime()
{
    if (!_practice.Running())
        return;
    const std::string clock = PracticeTime::Clock(_practice.SessionSeconds(_practiceClock()));
    _statusbar.SetPracticeTime(Text(Texts().GetText(PracticeTexts::PracticeTime)) + QStringLiteral(" ") +
                               QString::fromStdString(clock));
}

void ApplicationWindow::StartOrStop()
{
    if (_exporting)
        return;
    // A metronome that stopped itself, its report still on the way here, does not play: it is
    // started anew, not stopped a second time.
    if (Playing()) {
        _metronome.Stop();
    } else {
        // A song from the editor plays to its end, whatever the setlist in use; a song entry of
        // the setlist plays to its end too, and the entry after it follows there.
        const bool song = _songs.Pending();
        const Configuration::Song* entry = song ? nullptr : SetlistSong();
        if (entry != nullptr)
            _songs.Prepare(*entry, 0);
        _metronome.SetBarLimit(song || entry != nullptr ? 0 : SetlistBarLimit());
        _flash->TakeColours(_configuration.GetCurrentSettings());
        std::int32_t code = _events.Start(_metronome, _configuration.GetCurrentSettings());
        _songs.Started(code == 0);
        if (code != 0) {
            MessageBoxes::ShowMetronomeError(code, this, &_configuration.GetCurrentSettings(),
                                             _metronome.SoundWithoutFile());
        } else {
            BeginPracticeRun();
            _changeover.Started();
            if (!song)
                _changeover.QueueAdvance(_events);
        }
        ShowSongPlace();
        _playingNote = code == 0 && Core::MetronomeStrategy::LeavesOutSubdivisions(_configuration.GetCurrentSettings())
                           ? Text(Texts().GetText(NoticeTexts::SubdivisionsLeftOut))
                                 .arg(Core::MetronomeStrategy::FastestSubdivided)
                           : QString();
    }
    ShowPlaying();
    setFocus(Qt::OtherFocusReason);
}

void ApplicationWindow::PauseOrStartOrStop()
{
    if (_exporting)
        return;
    if (TrainerPlaying()) {
        _metronome.TogglePause();
        PausePracticeRun(_metronome.IsPaused());
        ShowPlaying();
    } else
        StartOrStop();
}

void ApplicationWindow::StopIfPlaying()
{
    if (Playing())
        _metronome.Stop();
    ShowPlaying();
}

bool ApplicationWindow::TrainerPlaying() const
{
    // A song owns its tempo as the speed trainer does: the tempo controls leave it alone, and
    // Space pauses it.
    return Playing() && (_configuration.GetCurrentSettings().SpeedTrainer != 0 || _metronome.PlaysSong());
}

void ApplicationWindow::OnTap()
{
    if (!TrainerPlaying()) {
        std::int32_t tempo = _tapTempo.Tap();
        if (_tapTempo.SeriesActive() && !_tapTimer->isActive())
            _tapTimer->start();
        if (tempo != 0)
            ChangeTempo(tempo, true);
    }
    setFocus(Qt::OtherFocusReason);
}

void ApplicationWindow::OpenManual()
{
    if (!QFileInfo::exists(_manualPath)) {
        MessageBoxes::Show(this, QMessageBox::Information, Text(Texts().GetMessageTitle(20)),
                           Text(Texts().GetMessage(51)));
        return;
    }
    if (!_openDocument || !_openDocument(_manualPath))
        MessageBoxes::Show(this, QMessageBox::Information, Text(Texts().GetMessageTitle(21)),
                           Text(Texts().GetMessage(52)));
}

void ApplicationWindow::ShowAbout()
{
    AboutDialog about(this);
    about.exec();
}

// ---- Tempo and volume -----------------------------------------------------------------------

void ApplicationWindow::MoveTempoSlider(int bpm)
{
    if (!_tempoSlider)
        return;
    // Setting the position is no move by the user: it must not come back as a tempo change
    // (a key tempo beyond the slider's range would be cut to the range).
    QSignalBlocker quiet(_tempoSlider);
    _tempoSlider->setValue(TempoInput::SliderPosition(bpm));
}

void ApplicationWindow::ChangeTempo(int bpm, bool moveSlider)
{
    bpm = TempoInput::Played(bpm);
    _configuration.GetCurrentSettings().Bpm = static_cast<std::uint32_t>(bpm);
    _configuration.NoteChange(Configuration::IConfiguration::Change::TempoOrVolume);
    _readOut.SetTempo(bpm);
    // The user changed it: a screen reader says the new tempo (the trainer's steps it does not).
    AccessibleNames::Announce(&_readOut);
    if (moveSlider)
        MoveTempoSlider(bpm);
    if (Playing())
        _metronome.SetTempo(bpm);
    emit TempoShown(bpm);
}

void ApplicationWindow::ShowTempo(int bpm)
{
    _readOut.SetTempo(bpm);
    MoveTempoSlider(bpm);
    emit TempoShown(bpm);
}

void ApplicationWindow::OnTempoSlider(int position)
{
    ChangeTempo(TempoInput::SliderTempo(position), false);
}

void ApplicationWindow::OnVolumeSlider(int position)
{
    Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    settings.GlobalVolume = static_cast<std::uint32_t>(position);
    _configuration.NoteChange(Configuration::IConfiguration::Change::TempoOrVolume);
    if (Playing())
        _metronome.SetVolumes(settings.Volume, settings.GlobalVolume);
}

void ApplicationWindow::RequestTempo(int bpm)
{
    if (TrainerPlaying())
        return;
    ChangeTempo(bpm, true);
}

void ApplicationWindow::ReloadSettings()
{
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    MoveTempoSlider(static_cast<int>(settings.Bpm));
    {
        QSignalBlocker quiet(_volumeSlider);
        _volumeSlider->setValue(static_cast<int>(settings.GlobalVolume));
    }
    _readOut.SetTempo(static_cast<int>(settings.Bpm));
}

void ApplicationWindow::keyPressEvent(QKeyEvent* event)
{
    if (TrainerPlaying()) {
        event->accept();
        return;
    }
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9 && !(event->modifiers() & Qt::KeypadModifier)) {
        TypedDigits::Result result = _digits.Enter(key - Qt::Key_0, Playing());
        if (result.keepTimer)
            _digitTimer->start();
        else
            _digitTimer->stop();
        if (result.deferred)
            _deferredDigitsTimer->start();
        else
            _deferredDigitsTimer->stop();
        if (result.tempo != 0)
            ChangeTempo(result.tempo, true);
        event->accept();
        return;
    }
    TempoInput::Key tempoKey = TempoKey(event);
    if (tempoKey == TempoInput::Key::Other) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    std::int32_t tempo = TempoInput::KeyStep(static_cast<std::int32_t>(_configuration.GetCurrentSettings().Bpm),
                                             tempoKey, modifiers & Qt::ControlModifier,
                                             modifiers & Qt::ShiftModifier, event->count());
    if (tempo != 0)
        ChangeTempo(tempo, true);
    event->accept();
}

// ---- Status texts and tooltips --------------------------------------------------------------

int ApplicationWindow::StatusInfoNumber(int id)
{
    switch (id) {
    case Language: return 0;
    case Exit: return 1;
    case Options: return 2;
    case SoundSettings: return 3;
    case AudioFiles: return 4;
    case Presets: return 5;
    case Help: return 7;
    case About: return 8;
    case ReadOutId: return 9;
    case IndicatorId: return 10;
    case StartButtonId: return 11;
    case TempoSliderId: return 12;
    case VolumeSliderId: return 13;
    case TapButtonId: return 14;
    default: return -1;
    }
}

void ApplicationWindow::SetStatusInfo(int id)
{
    int number = StatusInfoNumber(id);
    _statusbar.SetText(number < 0 ? QString() : Text(Texts().GetStatusInfo(number)));
}

void ApplicationWindow::MouseOverControl(int id)
{
    SetStatusInfo(id);
}

bool ApplicationWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == _client && event->type() == QEvent::MouseMove) {
        MouseOverBackground(_client, static_cast<QMouseEvent*>(event)->position().toPoint());
        return false;
    }
    if (_toolbar.Widget() && watched == _toolbar.Widget() && event->type() == QEvent::Leave) {
        _statusbar.SetText(QString());
        return false;
    }
    if (auto* button = qobject_cast<QToolButton*>(watched)) {
        const int command = ControlId(button);
        if (command >= Toolbar::FirstCommand && command < Toolbar::FirstCommand + Toolbar::ButtonCount) {
            if (event->type() == QEvent::Enter) {
                SetStatusInfo(command);
            } else if (event->type() == QEvent::ToolTip) {
                // Read at the moment it is shown, so it is always in the current language.
                auto* help = static_cast<QHelpEvent*>(event);
                QToolTip::showText(help->globalPos(),
                                   Text(Texts().GetTooltip(command - System::ILanguage::FirstToolbarCommand)),
                                   button);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Metronome events -----------------------------------------------------------------------

void ApplicationWindow::OnSpeedTrainerStarted(int tempo)
{
    // Inside Start, on this thread.
    ShowTempo(tempo);
    _tempoSlider->setEnabled(false);
}

void ApplicationWindow::OnStopped(int tempo)
{
    ShowTempo(tempo);
    ShowPlaying();
    // N or B had chosen an entry that was still to come at the bar line: it is the one loaded.
    if (_changeover.Stopped())
        LoadSetlistEntry();
}

void ApplicationWindow::OnError(int messageId)
{
    ShowPlaying();
    MessageBoxes::Show(this, QMessageBox::Critical, Text(Texts().GetMessageTitle(15)),
                       Text(Texts().GetMessage(messageId)));
}

// ---- Language -------------------------------------------------------------------------------

void ApplicationWindow::ChangeLanguage(const char16_t* name)
{
    if (!SetUpLanguage(name))
        FallBackToEnglish();
    LanguageTexts::ApplyMenuTexts(menuBar(), Texts());
    QString toolbarTexts[Toolbar::ButtonCount];
    for (int i = 0; i < Toolbar::ButtonCount; ++i)
        toolbarTexts[i] = ToolbarText(i);
    _toolbar.UpdateLanguage(toolbarTexts);
    _readOut.UpdateLabel(Text(Texts().GetText(1)));
    ApplyControlTexts();
    ApplyStageTexts();
    if (_link != nullptr)
        _link->ApplyTexts();
    FitWindowHeight();
    setWindowTitle(Text(Texts().GetText(0)));
    AccessibleNames::NameControls(this);
    // The status text was in the old language: clear it, and forget the control last under the
    // mouse, so that the next move over that same control shows its text anew.
    LastControl = 0;
    _statusbar.SetText(QString());
}

void ApplicationWindow::BringToFront()
{
    if (isMinimized() && !isMaximized())
        showNormal();
    show();
    raise();
    activateWindow();
}

// ---- The big flash and the setlists ---------------------------------------------------------

void ApplicationWindow::OpenFlash()
{
    _flash->Open();
}

void ApplicationWindow::ToggleMute()
{
    _muted = !_muted;
    _metronome.SetMuted(_muted);
    Configuration::GetExtraSettings().SetFlag("flash.mute", _muted);
    if (QAction* action = CommandAction(Mute)) {
        QSignalBlocker quiet(action);
        action->setChecked(_muted);
    }
    _flash->ShowMuted(_muted);
}

bool ApplicationWindow::FlashKey(int key)
{
    switch (key) {
    case Qt::Key_M: OnCommand(Mute); return true;
    case Qt::Key_N: OnCommand(NextEntry); return true;
    case Qt::Key_B: OnCommand(PreviousEntry); return true;
    case Qt::Key_S:
    case Qt::Key_Return:
    case Qt::Key_Enter: OnCommand(StartStop); return true;
    case Qt::Key_Space: OnCommand(Pause); return true;
    default: return false;
    }
}

QAction* ApplicationWindow::StageAction(int command) const
{
    for (QMenu* menu : _stageMenus)
        if (menu)
            for (QAction* action : menu->actions())
                if (action->data().toInt() == command)
                    return action;
    return nullptr;
}

void ApplicationWindow::OpenSetlists()
{
    StopIfPlaying();
    const int active = _setlists.Active();
    const std::string preset = _setlists.CurrentPreset();
    SetlistDialog dialog(_setlists, _configuration, this);
    std::vector<std::string> songs;
    for (const Configuration::Song& song : _songs.Library().Songs())
        songs.push_back(song.name);
    dialog.SetSongs(songs);
    dialog.exec();
    if (dialog.Chosen() >= 0) {
        UseSetlist(dialog.Chosen());
        return;
    }
    // Edited, the list in use stays in use; its entry may have moved or gone.
    if (active >= 0 && _setlists.Active() == active && _setlists.CurrentPreset() != preset)
        LoadSetlistEntry();
    ShowSetlistPosition();
    SaveSetlists();
}

void ApplicationWindow::UseSetlist(int index)
{
    _changeover.Cancel();
    _setlists.Activate(index, [this](const std::string& name) { return PresetExists(_configuration, name); });
    if (_setlists.Active() >= 0)
        LoadSetlistEntry();
    ShowSetlistPosition();
    SaveSetlists();
}

void ApplicationWindow::StepSetlist(bool next)
{
    const auto exists = [this](const std::string& name) { return PresetExists(_configuration, name); };
    if (_setlists.Active() < 0 || !(next ? _setlists.Next(exists) : _setlists.Previous(exists)))
        return;
    // Playing, the new entry takes over at the next bar line, in its own tempo and meter; it is
    // loaded as it does. One that cannot play so is started as a stopped N starts it.
    if (Playing() && !Paused() && _changeover.QueueStep(_events)) {
        ShowSetlistPosition();
        SaveSetlists();
        return;
    }
    const bool playing = Playing();
    StopIfPlaying();
    LoadSetlistEntry();
    ShowSetlistPosition();
    SaveSetlists();
    if (playing)
        StartOrStop();
}

bool ApplicationWindow::LoadSetlistEntry()
{
    // A song entry plays with the settings in use: there is nothing to load.
    if (_setlists.IsSongAt(_setlists.Position()))
        return SetlistSong() != nullptr;
    return LoadSetlistEntry(_setlists.CurrentPreset());
}

const Configuration::Song* ApplicationWindow::SetlistSong() const
{
    if (!_setlists.IsSongAt(_setlists.Position()))
        return nullptr;
    return _songs.Library().Find(_setlists.CurrentPreset());
}

bool ApplicationWindow::LoadSetlistEntry(const std::string& preset)
{
    if (!PresetExists(_configuration, preset))
        return false;
    const std::u16string name = Platform::Text::Utf8ToUtf16(preset);
    if (!_configuration.LoadPreset(name.c_str()))
        return false;
    ReloadSettings();
    return true;
}

QString ApplicationWindow::SetlistPosition() const
{
    const Configuration::Setlist* setlist = _setlists.ActiveList();
    if (setlist == nullptr)
        return {};
    QString text = Text(Texts().GetText(StageTexts::Position))
                       .arg(QString::fromStdString(setlist->name))
                       .arg(_setlists.Position() + 1)
                       .arg(setlist->presets.size());
    const std::string entry = _setlists.CurrentPreset();
    if (!entry.empty())
        text += QStringLiteral("   ") + (_setlists.IsSongAt(_setlists.Position())
                                           ? SetlistDialog::SongEntryText(entry, SetlistSong() != nullptr)
                                           : SetlistDialog::EntryText(entry, _configuration));
    return text;
}

void ApplicationWindow::ShowSetlistPosition()
{
    if (!_setlistBar)
        return;
    _setlistLabel->setText(SetlistPosition());
    const bool shown = _setlists.Active() >= 0;
    if (_setlistBar->isHidden() == shown) {
        _setlistBar->setVisible(shown);
        FitWindowHeight();
    }
}

void ApplicationWindow::SaveSetlists()
{
    Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    _setlists.Write(extras);
    // A setlist made for tonight is worth keeping even if the program does not end well.
    if (extras.Changed() && !extras.Save())
        System::Log().Write(System::Warn, "GUI::ApplicationWindow: the setlists could not be saved in %s",
                            extras.Path().c_str());
}

std::int32_t ApplicationWindow::SetlistBarLimit() const
{
    const Configuration::Setlist* setlist = _setlists.ActiveList();
    return setlist != nullptr ? setlist->advanceBars : 0;
}

void ApplicationWindow::AdvanceSetlist()
{
    if (!_setlists.Next([this](const std::string& name) { return PresetExists(_configuration, name); })) {
        ShowSetlistPosition();
        return;  // the list is played through
    }
    LoadSetlistEntry();
    ShowSetlistPosition();
    SaveSetlists();
    // The count-in set by the user (if any) comes first, as at every start.
    StartPlaying();
}

void ApplicationWindow::OnContinued(int tag, int tempo)
{
    // The entry heard from now on: the last run is logged and the next one begins with it.
    const bool playing = Playing();
    const bool last = _changeover.TookOver(tag, playing);
    if (playing)
        EndPracticeRun();
    if (!_setlists.IsSongAt(tag))
        LoadSetlistEntry(_setlists.PresetAt(tag));
    else if (const Configuration::Song* song = _songs.Library().Find(_setlists.PresetAt(tag)))
        _songs.Follow(*song);
    ShowSongPlace();
    if (TrainerPlaying())
        ShowTempo(tempo);
    ShowSetlistPosition();
    SaveSetlists();
    if (playing) {
        _flash->TakeColours(_configuration.GetCurrentSettings());
        BeginPracticeRun();
        if (last)
            _changeover.QueueAdvance(_events);
    }
    ShowPlaying();
}

// ---- Command line and remote control ---------------------------------------------------------

void ApplicationWindow::RunCommands(const CommandLine& commands)
{
    if (commands.link && _link != nullptr)
        _link->Enable(true);
    if (commands.preset) {
        const std::u16string name = Platform::Text::Utf8ToUtf16(*commands.preset);
        if (_configuration.LoadPreset(name.c_str())) {
            StopIfPlaying();
            ReloadSettings();
        } else {
            System::Log().Write(System::Warn, "The preset %s asked for on the command line does not exist",
                                Platform::Text::Escaped(*commands.preset).c_str());
        }
    }
    if (commands.bpm)
        RequestTempo(*commands.bpm);
    if (commands.start)
        StartPlaying();
}

void ApplicationWindow::StartPlaying()
{
    if (Paused())
        PauseOrStartOrStop();
    else if (!Playing())
        StartOrStop();
}

void ApplicationWindow::StopPlaying()
{
    StopIfPlaying();
}

void ApplicationWindow::TogglePause()
{
    OnCommand(Pause);
}

int ApplicationWindow::Tempo() const
{
    return _readOut.Tempo();
}

void ApplicationWindow::OpenSongs()
{
    SongEditorDialog::Player player;
    player.play = [this](const Configuration::Song& song, int section) { PlaySong(song, section); };
    player.stop = [this] { StopIfPlaying(); };
    player.playing = [this] { return Playing(); };
    player.heard = [this](std::string& name, int& section, int& bar) { return _songs.Heard(name, section, bar); };
    player.exportSound = [this](const Configuration::Song& song) {
        StopIfPlaying();
        ExportClickTrackDialog(&song);
    };
    SongEditorDialog dialog(_songs.Library(), std::move(player), this);
    dialog.exec();
    if (_songs.Library().Waiting())
        _songs.Library().SaveWaiting();
}

void ApplicationWindow::PlaySong(const Configuration::Song& song, int section)
{
    if (_exporting)
        return;
    StopIfPlaying();
    _songs.Prepare(song, section);
    StartOrStop();
}

void ApplicationWindow::ShowSongPlace()
{
    _readOut.SetCaption(_songs.Caption());
}

void ApplicationWindow::ExportClickTrackDialog(const Configuration::Song* song)
{
    ExportDialog dialog(_configuration.GetCurrentSettings(), Configuration::GetExtraSettings(), this);
    dialog.SetSong(song);
    _exporting = true;
    dialog.Run();
    _exporting = false;
}

void ApplicationWindow::ChooseSoundFontDialog()
{
    const QString chosen = QFileDialog::getOpenFileName(this, Text(Texts().GetText(ConnectionTexts::SoundFontMenu)).remove(u'&'),
                                                        QString::fromStdString(Core::CurrentSoundFont()),
                                                        Text(Texts().GetText(ConnectionTexts::SoundFontFilter)));
    if (chosen.isEmpty())
        return;
    if (std::string problem; !Core::ChangeSoundFont(chosen.toStdString(), problem)) {
        System::Log().Write(System::Error, "No General MIDI sounds: %s", problem.c_str());
        MessageBoxes::Show(this, QMessageBox::Warning, QStringLiteral("Ticova"),
                           Text(Texts().GetText(ConnectionTexts::SoundFontFailed)).arg(QString::fromStdString(problem)));
        return;
    }
    Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    extras.SetText("soundfont.path", chosen.toStdString());
    extras.Save();
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
    if (Playing()) {
        _metronome.Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EndPracticeRun();
    if (_songs.Library().Waiting())
        _songs.Library().SaveWaiting();
    if (_client)
        RestoreChildControls(_client);
    // The flash window keeps its size for the next time.
    if (_flash->isVisible())
        _flash->close();
    if (!_configuration.Save()) {
        // The file as it was stays, but what changed since start is lost: the user must know.
        const std::string problem = _configuration.SaveProblem();
        if (!problem.empty())
            MessageBoxes::Show(this, QMessageBox::Warning, QStringLiteral("Ticova"),
                               QStringLiteral("The settings could not be saved in %1\n\n"
                                              "The changes made since they were last saved are lost.")
                                   .arg(QString::fromStdString(problem)));
    }
    _digitTimer->stop();
    _deferredDigitsTimer->stop();
    _tapTimer->stop();
    _tapTempo.EndSeries();
}

}  // namespace GUI
