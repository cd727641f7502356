#include "GUI/SetlistController.h"

#include <QMainWindow>
#include <vector>

#include "Configuration/ExtraSettings.h"
#include "Configuration/IConfiguration.h"
#include "GUI/BigFlash.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MetronomeEvents.h"
#include "GUI/SetlistDialog.h"
#include "GUI/SongPlayer.h"
#include "GUI/StageTexts.h"
#include "GUI/TempoControls.h"
#include "Platform/Text.h"
#include "System/DefaultLanguage.h"
#include "System/ILanguage.h"
#include "System/ILog.h"

namespace GUI {

SetlistController::SetlistController(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                                     MetronomeEvents& events, SongPlayer& songs, BigFlash& flash, Transport& transport,
                                     TempoControls& tempo, QMainWindow& window, std::function<void()> fitWindow)
    : _metronome(metronome), _configuration(configuration), _events(events), _songs(songs), _flash(flash),
      _transport(transport), _tempo(tempo), _window(window), _fitWindow(std::move(fitWindow))
{
    _setlists.Read(Configuration::GetExtraSettings());
    // Song entries play the songs of the song editor.
    _setlists.SetSongExists([this](const std::string& name) { return _songs.Library().Find(name) != nullptr; });
    _changeover.SetSongFinder([this](const std::string& name) { return _songs.Library().Find(name); });
}

void SetlistController::CreateBar(const std::function<void(int command)>& run)
{
    _bar.Create(_window, run, _setlists.Active() >= 0);
}

void SetlistController::ApplyTexts()
{
    _bar.ApplyTexts();
    ShowPosition();
}

bool SetlistController::Exists(const std::string& preset) const
{
    return PresetExists(_configuration, preset);
}

void SetlistController::Open()
{
    _transport.StopIfPlaying();
    const int active = _setlists.Active();
    const std::string preset = _setlists.CurrentPreset();
    SetlistDialog dialog(_setlists, _configuration, &_window);
    std::vector<std::string> songs;
    for (const Configuration::Song& song : _songs.Library().Songs())
        songs.push_back(song.name);
    dialog.SetSongs(songs);
    dialog.exec();
    if (dialog.Chosen() >= 0) {
        Use(dialog.Chosen());
        return;
    }
    // Edited, the list in use stays in use; its entry may have moved or gone.
    if (active >= 0 && _setlists.Active() == active && _setlists.CurrentPreset() != preset)
        LoadEntry();
    ShowPosition();
    Save();
}

void SetlistController::Use(int index)
{
    _changeover.Cancel();
    _setlists.Activate(index, [this](const std::string& name) { return Exists(name); });
    if (_setlists.Active() >= 0)
        LoadEntry();
    ShowPosition();
    Save();
}

void SetlistController::Step(bool next)
{
    const auto exists = [this](const std::string& name) { return Exists(name); };
    if (_setlists.Active() < 0 || !(next ? _setlists.Next(exists) : _setlists.Previous(exists)))
        return;
    // Playing, the new entry takes over at the next bar line, in its own tempo and meter; it is
    // loaded as it does. One that cannot play so is started as a stopped N starts it.
    if (_transport.Playing() && !_transport.Paused() && _changeover.QueueStep(_events)) {
        ShowPosition();
        Save();
        return;
    }
    const bool playing = _transport.Playing();
    _transport.StopIfPlaying();
    LoadEntry();
    ShowPosition();
    Save();
    if (playing)
        _transport.StartOrStop();
}

bool SetlistController::LoadEntry()
{
    // A song entry plays with the settings in use: there is nothing to load.
    if (_setlists.IsSongAt(_setlists.Position()))
        return EntrySong() != nullptr;
    return LoadEntry(_setlists.CurrentPreset());
}

bool SetlistController::LoadEntry(const std::string& preset)
{
    if (!Exists(preset))
        return false;
    const std::u16string name = Platform::Text::Utf8ToUtf16(preset);
    if (!_configuration.LoadPreset(name.c_str()))
        return false;
    _tempo.Reload();
    return true;
}

const Configuration::Song* SetlistController::EntrySong() const
{
    if (!_setlists.IsSongAt(_setlists.Position()))
        return nullptr;
    return _songs.Library().Find(_setlists.CurrentPreset());
}

std::int32_t SetlistController::BarLimit() const
{
    const Configuration::Setlist* setlist = _setlists.ActiveList();
    return setlist != nullptr ? setlist->advanceBars : 0;
}

void SetlistController::Started(bool song)
{
    _changeover.Started();
    if (!song)
        _changeover.QueueAdvance(_events);
}

QString SetlistController::Position() const
{
    const Configuration::Setlist* setlist = _setlists.ActiveList();
    if (setlist == nullptr)
        return {};
    QString text = LanguageTexts::Text(System::CurrentLanguage().GetText(StageTexts::Position))
                       .arg(QString::fromStdString(setlist->name))
                       .arg(_setlists.Position() + 1)
                       .arg(setlist->presets.size());
    const std::string entry = _setlists.CurrentPreset();
    if (!entry.empty())
        text += QStringLiteral("   ") +
            (_setlists.IsSongAt(_setlists.Position()) ? SetlistDialog::SongEntryText(entry, EntrySong() != nullptr)
                                                      : SetlistDialog::EntryText(entry, _configuration));
    return text;
}

void SetlistController::ShowPosition()
{
    if (!_bar.Widget())
        return;
    if (_bar.Show(Position(), _setlists.Active() >= 0) && _fitWindow)
        _fitWindow();
}

void SetlistController::Save()
{
    Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    _setlists.Write(extras);
    // A setlist made for tonight is worth keeping even if the program does not end well.
    if (extras.Changed() && !extras.Save())
        System::Log().Write(System::Warn, "GUI::ApplicationWindow: the setlists could not be saved in %s",
                            extras.Path().c_str());
}

void SetlistController::Advance()
{
    if (!_setlists.Next([this](const std::string& name) { return Exists(name); })) {
        ShowPosition();
        return;  // the list is played through
    }
    LoadEntry();
    ShowPosition();
    Save();
    // The count-in set by the user (if any) comes first, as at every start.
    _transport.StartPlaying();
}

void SetlistController::OnContinued(int tag, int tempo)
{
    // The entry heard from now on: the last run is logged and the next one begins with it.
    const bool playing = _transport.Playing();
    const bool last = _changeover.TookOver(tag, playing);
    if (playing)
        _transport.EndRun();
    if (!_setlists.IsSongAt(tag))
        LoadEntry(_setlists.PresetAt(tag));
    else if (const Configuration::Song* song = _songs.Library().Find(_setlists.PresetAt(tag)))
        _songs.Follow(*song);
    _transport.ShowSongPlace();
    if (_tempo.RunOwnsTempo())
        _tempo.Show(tempo);
    ShowPosition();
    Save();
    if (playing) {
        _flash.TakeColours(_configuration.GetCurrentSettings());
        _transport.BeginRun();
        if (last)
            _changeover.QueueAdvance(_events);
    }
    _transport.ShowPlaying();
}

void SetlistController::OnStopped()
{
    // N or B had chosen an entry that was still to come at the bar line: it is the one loaded.
    if (_changeover.Stopped())
        LoadEntry();
}

}  // namespace GUI
