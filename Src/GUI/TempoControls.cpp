#include "GUI/TempoControls.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

#include "Configuration/ConfigurationData.h"
#include "Configuration/IConfiguration.h"
#include "Core/IMetronome.h"
#include "GUI/AccessibleNames.h"
#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/ControlId.h"
#include "GUI/LanguageTexts.h"
#include "GUI/Model/TempoInput.h"
#include "GUI/WindowScale.h"
#include "System/DefaultLanguage.h"
#include "System/ILanguage.h"

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

QString ControlText(int id)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetControlText(id));
}

}  // namespace

TempoControls::TempoControls(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                             BeatsPerMinuteDisplay& readOut, QWidget& window, Core::TapTempo::ClockFunction tapClock,
                             Core::TapTempo::HeldKeysFunction tapKeys)
    : QObject(&window), _metronome(metronome), _configuration(configuration), _readOut(readOut), _window(window),
      _tapTempo(tapClock, tapKeys ? tapKeys : &HeldModifierKeys)
{
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
            Request(tempo);
        }
    });
    _tapTimer = new QTimer(this);
    _tapTimer->setInterval(Core::TapTempo::TimeOutIntervalMs);
    connect(_tapTimer, &QTimer::timeout, this, [this] {
        if (_tapTempo.OnTimeOut())
            _tapTimer->stop();
    });
}

void TempoControls::Create(QWidget* client)
{
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();

    _tempoSlider = new QSlider(Qt::Horizontal, client);
    SetControlId(_tempoSlider, TempoSliderId);
    _tempoSlider->setGeometry(WindowScale::Scaled(60, 170, 280, 24));
    _tempoSlider->setRange(TempoInput::SliderPosition(TempoInput::SliderMinimumTempo),
                           TempoInput::SliderPosition(TempoInput::SliderMaximumTempo));
    _tempoSlider->setPageStep(100);
    _tempoSlider->setSingleStep(10);
    _tempoSlider->setTickPosition(QSlider::NoTicks);
    MoveTempoSlider(static_cast<int>(settings.Bpm));
    connect(_tempoSlider, &QSlider::valueChanged, this,
            [this](int position) { ChangeTempo(TempoInput::SliderTempo(position), false); });

    _tempoLabel = new QLabel(client);
    SetControlId(_tempoLabel, TempoLabelId);
    _tempoLabel->setGeometry(WindowScale::Scaled(10, 175, 60, 20));

    _volumeSlider = new QSlider(Qt::Horizontal, client);
    SetControlId(_volumeSlider, VolumeSliderId);
    _volumeSlider->setGeometry(WindowScale::Scaled(60, 196, 280, 24));
    _volumeSlider->setRange(0, 100);
    _volumeSlider->setPageStep(10);
    _volumeSlider->setTickPosition(QSlider::NoTicks);
    _volumeSlider->setValue(static_cast<int>(settings.GlobalVolume));
    connect(_volumeSlider, &QSlider::valueChanged, this, &TempoControls::OnVolumeSlider);
    // The volume slider shows its value while it is dragged.
    connect(_volumeSlider, &QSlider::sliderMoved, this,
            [this](int value) { QToolTip::showText(QCursor::pos(), QString::number(value), _volumeSlider); });

    _volumeLabel = new QLabel(client);
    SetControlId(_volumeLabel, VolumeLabelId);
    _volumeLabel->setGeometry(WindowScale::Scaled(10, 202, 60, 20));

    _tapButton = new QPushButton(client);
    SetControlId(_tapButton, TapButtonId);
    _tapButton->setGeometry(WindowScale::Scaled(338, 166, 48, 32));
    _tapButton->setFocusPolicy(Qt::TabFocus);
    connect(_tapButton, &QPushButton::clicked, this, [this] { emit Command(Commands::Tap); });
}

void TempoControls::ApplyTexts()
{
    _tapButton->setText(ControlText(TapButtonId));
    _tempoLabel->setText(ControlText(TempoLabelId));
    _volumeLabel->setText(ControlText(VolumeLabelId));
    // The sliders start after the longer of their two labels ("Lautstärke"), at 60 (scaled) at least.
    const int labels = std::max(QFontMetrics(_tempoLabel->font()).horizontalAdvance(_tempoLabel->text()),
                                QFontMetrics(_volumeLabel->font()).horizontalAdvance(_volumeLabel->text()));
    const int left = std::max(WindowScale::Scaled(60), _tempoLabel->x() + labels + WindowScale::Scaled(6));
    const int right = _tapButton->x();
    _tempoSlider->setGeometry(left, _tempoSlider->y(), right - left, _tempoSlider->height());
    _volumeSlider->setGeometry(left, _volumeSlider->y(), right - left, _volumeSlider->height());
    _tempoLabel->resize(left - _tempoLabel->x(), _tempoLabel->height());
    _volumeLabel->resize(left - _volumeLabel->x(), _volumeLabel->height());
}

void TempoControls::SetFont(const QFont& font)
{
    for (QWidget* widget :
         {static_cast<QWidget*>(_tapButton), static_cast<QWidget*>(_tempoLabel), static_cast<QWidget*>(_volumeLabel)})
        widget->setFont(font);
}

bool TempoControls::RunOwnsTempo() const
{
    // A song owns its tempo as the speed trainer does: the tempo controls leave it alone, and
    // Space pauses it.
    return _metronome.IsPlaying() && (_configuration.GetCurrentSettings().SpeedTrainer != 0 || _metronome.PlaysSong());
}

void TempoControls::MoveTempoSlider(int bpm)
{
    if (!_tempoSlider)
        return;
    // Setting the position is no move by the user: it must not come back as a tempo change
    // (a key tempo beyond the slider's range would be cut to the range).
    QSignalBlocker quiet(_tempoSlider);
    _tempoSlider->setValue(TempoInput::SliderPosition(bpm));
}

void TempoControls::ChangeTempo(int bpm, bool moveSlider)
{
    bpm = TempoInput::Played(bpm);
    _configuration.GetCurrentSettings().Bpm = static_cast<std::uint32_t>(bpm);
    _configuration.NoteChange(Configuration::IConfiguration::Change::TempoOrVolume);
    _readOut.SetTempo(bpm);
    // The user changed it: a screen reader says the new tempo (the trainer's steps it does not).
    AccessibleNames::Announce(&_readOut);
    if (moveSlider)
        MoveTempoSlider(bpm);
    if (_metronome.IsPlaying())
        _metronome.SetTempo(bpm);
    emit TempoShown(bpm);
}

void TempoControls::Request(int bpm)
{
    if (RunOwnsTempo())
        return;
    ChangeTempo(bpm, true);
}

void TempoControls::Show(int bpm)
{
    _readOut.SetTempo(bpm);
    MoveTempoSlider(bpm);
    emit TempoShown(bpm);
}

void TempoControls::EnableSlider(bool enabled)
{
    if (_tempoSlider)
        _tempoSlider->setEnabled(enabled);
}

void TempoControls::ShowCaption(const QString& caption)
{
    _readOut.SetCaption(caption);
}

void TempoControls::OnVolumeSlider(int position)
{
    Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    settings.GlobalVolume = static_cast<std::uint32_t>(position);
    _configuration.NoteChange(Configuration::IConfiguration::Change::TempoOrVolume);
    if (_metronome.IsPlaying())
        _metronome.SetVolumes(settings.Volume, settings.GlobalVolume);
}

void TempoControls::Reload()
{
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    MoveTempoSlider(static_cast<int>(settings.Bpm));
    {
        QSignalBlocker quiet(_volumeSlider);
        _volumeSlider->setValue(static_cast<int>(settings.GlobalVolume));
    }
    _readOut.SetTempo(static_cast<int>(settings.Bpm));
}

int TempoControls::Tempo() const
{
    return _readOut.Tempo();
}

void TempoControls::Tap()
{
    if (!RunOwnsTempo()) {
        std::int32_t tempo = _tapTempo.Tap();
        if (_tapTempo.SeriesActive() && !_tapTimer->isActive())
            _tapTimer->start();
        if (tempo != 0)
            ChangeTempo(tempo, true);
    }
    _window.setFocus(Qt::OtherFocusReason);
}

bool TempoControls::KeyPressed(QKeyEvent* event)
{
    if (RunOwnsTempo())
        return true;
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9 && !(event->modifiers() & Qt::KeypadModifier)) {
        TypedDigits::Result result = _digits.Enter(key - Qt::Key_0, _metronome.IsPlaying());
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
        return true;
    }
    TempoInput::Key tempoKey = TempoKey(event);
    if (tempoKey == TempoInput::Key::Other)
        return false;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    std::int32_t tempo =
        TempoInput::KeyStep(static_cast<std::int32_t>(_configuration.GetCurrentSettings().Bpm), tempoKey,
                            modifiers & Qt::ControlModifier, modifiers & Qt::ShiftModifier, event->count());
    if (tempo != 0)
        ChangeTempo(tempo, true);
    return true;
}

void TempoControls::Stop()
{
    _digitTimer->stop();
    _deferredDigitsTimer->stop();
    _tapTimer->stop();
    _tapTempo.EndSeries();
}

}  // namespace GUI
