#pragma once

#include <QString>
#include <string>

#include "GUI/SongLibrary.h"

namespace Core {
class IMetronome;
}

namespace GUI {

// The window's songs: the library, which song the metronome was last given and from which of
// its sections, and what the read-out says of it while it plays.
class SongPlayer {
public:
    explicit SongPlayer(Core::IMetronome& metronome) noexcept : _metronome(metronome) {}

    SongLibrary& Library() { return _library; }
    const SongLibrary& Library() const { return _library; }

    // Hands `song` from its section `section` to the metronome for the next start.
    void Prepare(const Configuration::Song& song, int section);
    // Whether a song waits for the next start; after the start, whether it played (if not, the
    // metronome is given none, so that a later start plays the settings).
    bool Pending() const noexcept { return _pending; }
    void Started(bool playing);
    // A song handed over as a continuation took over: it is the one heard from now on.
    void Follow(const Configuration::Song& song);

    // The song heard (its name) and where in it, in its own sections; false when none plays.
    bool Heard(std::string& name, int& section, int& bar) const;
    // "verse  bar 3" while a song plays; empty otherwise.
    QString Caption() const;

private:
    Core::IMetronome& _metronome;
    SongLibrary _library;
    Configuration::Song _song;  // as it was handed over, all its sections
    int _from = 0;
    bool _pending = false;
};

}  // namespace GUI
