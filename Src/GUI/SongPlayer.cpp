#include "GUI/SongPlayer.h"

#include "Core/IMetronome.h"
#include "GUI/LanguageTexts.h"
#include "GUI/SongTexts.h"
#include "System/ILanguage.h"

namespace GUI {

void SongPlayer::Prepare(const Configuration::Song& song, int section)
{
    _song = song;
    _from = std::clamp(section, 0, std::max(0, static_cast<int>(song.sections.size()) - 1));
    // The metronome plays a song from its first section: it is given the rest of this one.
    Configuration::Song rest = song;
    rest.sections.erase(rest.sections.begin(), rest.sections.begin() + _from);
    _metronome.SetSong(&rest);
    _pending = true;
}

void SongPlayer::Started(bool playing)
{
    if (!playing && _pending)
        _metronome.SetSong(nullptr);
    _pending = false;
}

void SongPlayer::Follow(const Configuration::Song& song)
{
    _song = song;
    _from = 0;
}

bool SongPlayer::Heard(std::string& name, int& section, int& bar) const
{
    if (!_metronome.IsPlaying() || !_metronome.PlaysSong())
        return false;
    const Core::SongTimerStrategy::Heard heard = _metronome.SongHeard();
    name = _song.name;
    section = heard.section + _from;
    bar = heard.bar;
    return section >= 0 && section < static_cast<int>(_song.sections.size());
}

QString SongPlayer::Caption() const
{
    std::string name;
    int section = 0;
    int bar = 0;
    if (!Heard(name, section, bar))
        return {};
    const QString label = QString::fromStdString(_song.sections[static_cast<std::size_t>(section)].label);
    return LanguageTexts::Text(System::CurrentLanguage().GetText(SongTexts::BarCaption))
        .arg(label)
        .arg(bar + 1)
        .trimmed();
}

}  // namespace GUI
