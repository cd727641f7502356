#pragma once

#include <functional>
#include <string>

#include "Configuration/ConfigurationData.h"
#include "Core/IMetronome.h"

namespace Configuration {
class IConfiguration;
class Setlists;
struct Song;
}  // namespace Configuration

namespace Core {
class IMetronomeEventHandler;
}

namespace GUI {

// Whether `name` names a preset of `configuration`.
bool PresetExists(Configuration::IConfiguration& configuration, const std::string& name);
// The settings preset `name` holds, as loading it would make them, without loading it.
bool PresetSettings(Configuration::IConfiguration& configuration, const std::string& name,
                    Configuration::ConfigurationData& settings);

// Plays a setlist's entries back to back while the metronome runs: the entry that comes next is
// handed to the metronome as the run that goes on from the one playing (at the end of its bars,
// or at the next bar line after N or B), so that it starts on the running grid. Each one queued
// carries its position in the list; the window learns which took over, and loads it then, so
// that the settings shown are the ones heard. A song entry plays whole, with the sounds of the
// settings in use, and the entry after it takes over at its end.
class SetlistChangeover {
public:
    SetlistChangeover(Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                      Configuration::Setlists& setlists) noexcept
        : _metronome(metronome), _configuration(configuration), _setlists(setlists)
    {
    }

    // The song of a song entry, by its name (null: none of that name).
    using SongFinder = std::function<const Configuration::Song*(const std::string& name)>;
    void SetSongFinder(SongFinder find) { _findSong = std::move(find); }

    // Playing began with the entry in use.
    void Started() noexcept;
    // While playing the entry in use: the one after it follows when the list's bars are played
    // (nothing when the list does not advance or is played through).
    void QueueAdvance(Core::IMetronomeEventHandler& handler);
    // While playing, after N or B moved the position: the entry there follows at the next bar
    // line; back on the entry heard, it plays on as if nothing had been pressed. False when the
    // entry cannot be played so (nothing is queued then).
    bool QueueStep(Core::IMetronomeEventHandler& handler);
    // A run queued here took over: `tag` is its position. True when it is the one queued last
    // (the position is then on it, and the next advance may be queued); false for one queued
    // before that (it plays, the last one still waits). Stopped meanwhile, the position follows
    // what was heard last.
    bool TookOver(int tag, bool playing);
    // Playing stopped, and whatever waited is gone: true when N or B had moved the position to
    // an entry that never played, which the window then loads as a stopped N does.
    bool Stopped() noexcept;
    // Drops what waits (the list in use changes).
    void Cancel();

private:
    enum class Kind { None, Advance, Step };
    bool Queue(int position, Core::IMetronome::ChangeAt at, Kind kind, Core::IMetronomeEventHandler& handler);

    Core::IMetronome& _metronome;
    Configuration::IConfiguration& _configuration;
    Configuration::Setlists& _setlists;
    Kind _kind = Kind::None;
    int _tag = -1;
    int _heard = -1;  // the position of the entry playing
    Configuration::ConfigurationData _next;
    SongFinder _findSong;
};

}  // namespace GUI
