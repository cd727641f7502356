#include "GUI/LinkControl.h"

#include <QAction>
#include <QMenu>
#include <QMetaObject>
#include <QWidget>
#include <cmath>

#include "Configuration/ExtraSettings.h"
#include "Core/HeardTime.h"
#include "Core/LinkTimeline.h"
#include "Core/Metronome.h"
#include "GUI/LanguageTexts.h"
#include "GUI/LinkTexts.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

constexpr const char* EnabledKey = "link.enabled";
constexpr const char* StartStopKey = "link.startstop";

QString Text(int number)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetText(number));
}

}  // namespace

LinkControl::LinkControl(Core::Metronome* metronome, Platform::LinkSession& session, QObject* parent, QAction* toggle)
    : QObject(parent), _metronome(metronome), _session(session)
{
    _toggle = toggle != nullptr ? toggle : new QAction(this);
    _toggle->setCheckable(true);
    _toggle->setObjectName(QStringLiteral("LinkToggle"));
    _startStop = new QAction(this);
    _startStop->setCheckable(true);
    _startStop->setObjectName(QStringLiteral("LinkStartStop"));
    ApplyTexts();
    _session.SetListener(this);
    // The metronome follows the session only while it is enabled.
    if (_metronome != nullptr)
        _metronome->SetSession(&Core::LinkTimeline::Instance());

    const Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    const bool startStop = extras.Flag(StartStopKey, false);
    _startStop->setChecked(startStop);
    _session.EnableStartStopSync(startStop);
    if (extras.Flag(EnabledKey, false)) {
        _toggle->setChecked(true);
        _session.Enable(true);
    }
    connect(_toggle, &QAction::toggled, this, &LinkControl::Enable);
    connect(_startStop, &QAction::toggled, this, &LinkControl::EnableStartStop);
    ShowPeers();
}

LinkControl::~LinkControl()
{
    _session.SetListener(nullptr);
    if (_metronome != nullptr)
        _metronome->SetSession(nullptr);
}

void LinkControl::Place(QMenu* menu)
{
    // Numbered, the items keep their texts through a language change as the other numbered
    // items do (ApplyTexts then shows the peers again).
    LanguageTexts::SetTextNumber(_toggle, LinkTexts::LinkItem);
    LanguageTexts::SetTextNumber(_startStop, LinkTexts::StartStopItem);
    if (menu == nullptr)
        return;
    if (!menu->actions().contains(_toggle))
        menu->addAction(_toggle);
    menu->addAction(_startStop);
}

QString LinkControl::WidestText()
{
    return Text(LinkTexts::Peers).arg(99);
}

void LinkControl::Enable(bool on)
{
    if (_toggle->isChecked() != on) {
        _toggle->setChecked(on);  // comes back here through toggled
        return;
    }
    _session.Enable(on);
    Keep(EnabledKey, on);
    ShowPeers();
}

bool LinkControl::Enabled() const
{
    return _session.Enabled();
}

void LinkControl::EnableStartStop(bool on)
{
    if (_startStop->isChecked() != on) {
        _startStop->setChecked(on);
        return;
    }
    _session.EnableStartStopSync(on);
    Keep(StartStopKey, on);
}

void LinkControl::Keep(const char* key, bool on)
{
    Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    extras.SetFlag(key, on);
    if (extras.Changed())
        extras.Save();  // a failure is logged there; the choice still holds for this run
}

void LinkControl::ApplyTexts()
{
    _startStop->setText(Text(LinkTexts::StartStopItem));
    _toggle->setToolTip(Text(LinkTexts::ToolTip));
    ShowPeers();
}

void LinkControl::ShowPeers()
{
    if (_toggle == nullptr)
        return;
    _toggle->setText(_session.Enabled() ? Text(LinkTexts::Peers).arg(_session.Peers()) : Text(LinkTexts::LinkItem));
}

void LinkControl::OnTempoShown(int bpm)
{
    if (!_session.Enabled())
        return;
    // A tempo that came from the session is shown rounded: it is not sent back as a change.
    if (std::lround(_session.CurrentTempo()) == bpm)
        return;
    _session.ProposeTempo(bpm, Core::HeardTime::Now().time_since_epoch().count());
}

void LinkControl::OnPeers(std::size_t)
{
    QMetaObject::invokeMethod(
        this, [this] { ShowPeers(); }, Qt::QueuedConnection);
}

void LinkControl::OnTempo(double bpm)
{
    const int rounded = static_cast<int>(std::lround(bpm));
    QMetaObject::invokeMethod(
        this, [this, rounded] { emit TempoFromSession(rounded); }, Qt::QueuedConnection);
}

void LinkControl::OnPlaying(bool playing)
{
    QMetaObject::invokeMethod(
        this,
        [this, playing] {
            if (!_session.StartStopSync())
                return;
            if (playing)
                emit StartFromSession();
            else
                emit StopFromSession();
        },
        Qt::QueuedConnection);
}

}  // namespace GUI
