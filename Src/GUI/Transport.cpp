#include "GUI/Transport.h"

#include <QPushButton>
#include <QTimer>

#include "Configuration/IConfiguration.h"
#include "Core/IMetronome.h"
#include "Core/MetronomeStrategy.h"
#include "Core/SettingsRange.h"
#include "GUI/BigFlash.h"
#include "GUI/LanguageInUse.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "GUI/MetronomeEvents.h"
#include "GUI/NoticeTexts.h"
#include "GUI/PracticeTexts.h"
#include "GUI/SongPlayer.h"
#include "GUI/Statusbar.h"
#include "GUI/TempoControls.h"
#include "Platform/LocalTime.h"
#include "System/DefaultLanguage.h"
#include "System/ILanguage.h"

namespace GUI {

using LanguageInUse::Text;
using LanguageInUse::Texts;

Transport::Transport(Core::IMetronome& metronome, Configuration::IConfiguration& configuration, MetronomeEvents& events,
                     SongPlayer& songs, BigFlash& flash, TempoControls& tempo, Statusbar& statusbar, QWidget& window)
    : QObject(&window), _metronome(metronome), _configuration(configuration), _events(events), _songs(songs),
      _flash(flash), _tempo(tempo), _statusbar(statusbar), _window(window)
{
    _practiceTimer = new QTimer(this);
    _practiceTimer->setInterval(1000);
    connect(_practiceTimer, &QTimer::timeout, this, [this] { ShowPracticeTime(); });
}

bool Transport::Playing() const
{
    return _metronome.IsPlaying();
}

bool Transport::Paused() const
{
    return _metronome.IsPaused();
}

void Transport::StartOrStop()
{
    if (_exporting)
        return;
    // A metronome that stopped itself, its report still on the way here, does not play: it is
    // started anew, not stopped a second time.
    if (Playing())
        _metronome.Stop();
    else
        StartNow();
    ShowPlaying();
    _window.setFocus(Qt::OtherFocusReason);
}

void Transport::StartNow()
{
    Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    // A song from the editor plays to its end, whatever the setlist in use; a song entry of the
    // setlist plays to its end too, and the entry after it follows there.
    const bool song = _songs.Pending();
    const Configuration::Song* entry = song || !_plan ? nullptr : _plan->EntrySong();
    if (entry != nullptr)
        _songs.Prepare(*entry, 0);
    _metronome.SetBarLimit(song || entry != nullptr || !_plan ? 0 : _plan->BarLimit());
    _flash.TakeColours(settings);
    const std::int32_t code = _events.Start(_metronome, settings);
    _songs.Started(code == 0);
    if (code != 0) {
        MessageBoxes::ShowMetronomeError(code, &_window, &settings, _metronome.SoundWithoutFile());
    } else {
        BeginRun();
        if (_plan)
            _plan->Started(song);
    }
    ShowSongPlace();
    _playingNote = code == 0 && Core::MetronomeStrategy::LeavesOutSubdivisions(settings)
        ? Text(Texts().GetText(NoticeTexts::SubdivisionsLeftOut)).arg(Core::MetronomeStrategy::FastestSubdivided)
        : QString();
}

void Transport::PauseOrStartOrStop()
{
    if (_exporting)
        return;
    if (_tempo.RunOwnsTempo()) {
        _metronome.TogglePause();
        _practice.Pause(_metronome.IsPaused());
        ShowPlaying();
    } else
        StartOrStop();
}

void Transport::StopIfPlaying()
{
    if (Playing())
        _metronome.Stop();
    ShowPlaying();
}

void Transport::StartPlaying()
{
    if (Paused())
        PauseOrStartOrStop();
    else if (!Playing())
        StartOrStop();
}

void Transport::PlaySong(const Configuration::Song& song, int section)
{
    if (_exporting)
        return;
    StopIfPlaying();
    _songs.Prepare(song, section);
    StartOrStop();
}

void Transport::WhileExporting(const std::function<void()>& write)
{
    _exporting = true;
    write();
    _exporting = false;
}

void Transport::ShowStartButton()
{
    const bool playing = Playing();
    // While paused, the button and the status bar say so.
    const bool paused = playing && _metronome.IsPaused();
    if (_startButton)
        _startButton->setText(paused ? Text(Texts().GetText(17)) : Text(Texts().GetControlText(playing ? 1002 : 1001)));
    _statusbar.SetState(paused ? Text(Texts().GetText(16)) : playing ? _playingNote : QString());
    emit PlaybackChanged(playing, paused);
}

void Transport::ShowPlaying()
{
    ShowStartButton();
    // The speed trainer owns the tempo while it plays.
    _tempo.EnableSlider(!_tempo.RunOwnsTempo());
    // A run that ended (stopped, stopped itself, failed) is logged once, and the flash goes dark.
    if (!Playing()) {
        _tempo.ShowCaption(QString());
        EndRun();
        _flash.Clear();
    }
}

void Transport::OnError(int messageId)
{
    ShowPlaying();
    MessageBoxes::Show(&_window, QMessageBox::Critical, Text(Texts().GetMessageTitle(15)),
                       Text(Texts().GetMessage(messageId)));
}

void Transport::BeginRun()
{
    // A run that stopped itself, its report still on the way here, is logged before the next.
    EndRun();
    std::string song;
    int section = 0, bar = 0;
    const bool heard = _songs.Heard(song, section, bar);
    _practice.Begin(_configuration.GetCurrentSettings(), heard ? &song : nullptr, Platform::LocalTime::Now());
    ShowPracticeTime();
    _practiceTimer->start();
}

void Transport::EndRun()
{
    if (!_practice.Running())
        return;
    _practiceTimer->stop();
    _practice.End(static_cast<int>(Core::SettingsRange::Bpm(_configuration.GetCurrentSettings())));
    _statusbar.SetPracticeTime(QString());
}

void Transport::ShowPracticeTime()
{
    if (!_practice.Running())
        return;
    _statusbar.SetPracticeTime(Text(Texts().GetText(PracticeTexts::PracticeTime)) + QStringLiteral(" ") +
                               QString::fromStdString(_practice.SessionClock()));
}

void Transport::ShowSongPlace()
{
    _tempo.ShowCaption(_songs.Caption());
}

}  // namespace GUI
