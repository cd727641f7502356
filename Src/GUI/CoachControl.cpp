#include "GUI/CoachControl.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

#include "Core/IMetronome.h"
#include "GUI/CoachDialog.h"
#include "GUI/CoachTexts.h"
#include "GUI/LanguageTexts.h"
#include "GUI/Model/PracticeRecorder.h"

namespace GUI {

CoachControl::CoachControl(Core::IBeatFlash& flash, Core::IMetronome& metronome, QWidget* window)
    : QObject(window), _flash(flash), _metronome(metronome), _window(window), _drain(new QTimer(this)),
      _beats(std::make_unique<Platform::LockFreeQueue<Beat, 256>>())
{
    _drain->setInterval(DrainMs);
    connect(_drain, &QTimer::timeout, this, &CoachControl::Drain);
}

CoachControl::~CoachControl()
{
    _listening.store(false, std::memory_order_release);
}

void CoachControl::Place(QMenu* tools)
{
    _item = tools->addAction(CoachTexts::Text(CoachTexts::MenuCoach));
    // Numbered, the item keeps its own text through a language change.
    LanguageTexts::SetTextNumber(_item, CoachTexts::MenuCoach);
    connect(_item, &QAction::triggered, this, &CoachControl::Open);
}

void CoachControl::ApplyTexts()
{
    if (_item != nullptr)
        _item->setText(CoachTexts::Text(CoachTexts::MenuCoach));
}

void CoachControl::Attach(PracticeRecorder& practice)
{
    _practice = &practice;
    practice.SetTakeSource([this](Configuration::PracticeTiming& timing) {
        return !_dialog.isNull() && _dialog->isVisible() && _dialog->TakeOfRun(timing);
    });
}

void CoachControl::Open()
{
    if (_dialog.isNull()) {
        _dialog = new CoachDialog(_window);
        if (_practice != nullptr)
            _dialog->SetPracticeLog(_practice->Log());
        _dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(_dialog, &QDialog::finished, this, [this] {
            _listening.store(false, std::memory_order_release);
            _drain->stop();
        });
        connect(_dialog, &CoachDialog::MutedBarsChanged, this, [this](bool mute) {
            _metronome.SetMutedBars(mute ? CoachDialog::PlayedBars : 0, mute ? CoachDialog::SilentBars : 0);
        });
    }
    if (!_listening.load(std::memory_order_acquire)) {
        Beat stale;
        while (_beats->Pop(stale)) {}
    }
    _listening.store(true, std::memory_order_release);
    _drain->start();
    _dialog->show();
    _dialog->raise();
    _dialog->activateWindow();
}

void CoachControl::Pulse(const Core::BeatPulse& pulse) noexcept
{
    _flash.Pulse(pulse);
    if (pulse.beat < 0)
        return;
    if (pulse.beat == 0)
        ++_bar;
    if (!_listening.load(std::memory_order_acquire))
        return;
    // The epoch means "at once".
    const Core::Moment heard = pulse.heardAt == Core::Moment{} ? Core::HeardClock::now() : pulse.heardAt;
    const qint64 heardNs = heard.time_since_epoch().count();
    const int beat = pulse.beat, beats = pulse.beats, bar = _bar < 0 ? 0 : _bar, grid = pulse.subdivisions;
    _beats->Push({heardNs, beat, beats, bar, grid, pulse.silent});  // full: the window is stuck anyway
}

void CoachControl::Drain()
{
    Beat beat;
    while (_beats->Pop(beat))
        if (!_dialog.isNull())
            _dialog->OnBeat(beat.heardNs, beat.beat, beat.beats, beat.bar, beat.subdivisions, beat.silent);
}

}  // namespace GUI
