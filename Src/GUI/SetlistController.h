#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "Configuration/Setlists.h"
#include "GUI/Model/SetlistChangeover.h"
#include "GUI/SetlistBar.h"
#include "GUI/Transport.h"

class QMainWindow;

namespace GUI {

class BigFlash;
class MetronomeEvents;
class SongPlayer;
class TempoControls;

// The setlists: which one is in use and where in it, its bar under the menu, the dialog that
// edits them, the steps through a list (at once, or at the next bar line while playing) and
// the entry that takes over after its bars. It tells the transport what a start plays.
class SetlistController final : public Transport::IStartPlan {
public:
    // `fitWindow` is called when the bar shows or hides.
    SetlistController(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                      MetronomeEvents& events, SongPlayer& songs, BigFlash& flash, Transport& transport,
                      TempoControls& tempo, QMainWindow& window, std::function<void()> fitWindow);

    void CreateBar(const std::function<void(int command)>& run);
    void ApplyTexts();
    SetlistBar& Bar() { return _bar; }
    const SetlistBar& Bar() const { return _bar; }
    Configuration::Setlists& Store() { return _setlists; }

    // Opens the setlists dialog; the chosen list is put in use.
    void Open();
    // Puts setlist `index` in use (-1: none) and loads its first entry that exists.
    void Use(int index);
    // N and B: the next or the previous entry.
    void Step(bool next);
    // What the bar shows ("Friday: 3 of 12   Ballad"); empty with no setlist in use.
    QString Position() const;

    // The metronome's reports: the entry ended after its bars (on to the next one, and play
    // it), the next entry took over on the grid, playing stopped.
    void Advance();
    void OnContinued(int tag, int tempo);
    void OnStopped();

    const Configuration::Song* EntrySong() const override;
    std::int32_t BarLimit() const override;
    void Started(bool song) override;

private:
    // Loads the entry in use (or `preset`) into the live settings; false when its preset is gone.
    bool LoadEntry();
    bool LoadEntry(const std::string& preset);
    bool Exists(const std::string& preset) const;
    void ShowPosition();
    void Save();

    Core::IMetronome& _metronome;
    Configuration::IConfiguration& _configuration;
    MetronomeEvents& _events;
    SongPlayer& _songs;
    BigFlash& _flash;
    Transport& _transport;
    TempoControls& _tempo;
    QMainWindow& _window;
    std::function<void()> _fitWindow;
    Configuration::Setlists _setlists;
    SetlistChangeover _changeover{_metronome, _configuration, _setlists};
    SetlistBar _bar;
};

}  // namespace GUI
