#include "GUI/Model/SetlistChangeover.h"

#include "Configuration/IConfiguration.h"
#include "Configuration/Setlists.h"
#include "Platform/Text.h"

namespace GUI {

namespace {

struct Search {
    const std::u16string* name;
    Configuration::ConfigurationData* settings;
    bool found;
};

int Match(const Configuration::ConfigurationData& preset, void* context)
{
    auto* search = static_cast<Search*>(context);
    if (!search->found && std::u16string_view(preset.PresetName) == *search->name) {
        *search->settings = preset;
        search->found = true;
    }
    return 0;
}

}  // namespace

bool PresetExists(Configuration::IConfiguration& configuration, const std::string& name)
{
    const std::u16string preset = Platform::Text::Utf8ToUtf16(name);
    return !preset.empty() && preset.size() <= Configuration::IConfiguration::PresetNameLength &&
        configuration.IsPreset(preset.c_str());
}

bool PresetSettings(Configuration::IConfiguration& configuration, const std::string& name,
                    Configuration::ConfigurationData& settings)
{
    if (!PresetExists(configuration, name))
        return false;
    const std::u16string preset = Platform::Text::Utf8ToUtf16(name);
    Search search{&preset, &settings, false};
    configuration.EnumeratePresets(&Match, &search);
    return search.found;
}

void SetlistChangeover::QueueAdvance(Core::IMetronomeEventHandler& handler)
{
    const Configuration::Setlist* setlist = _setlists.ActiveList();
    if (setlist == nullptr || setlist->advanceBars <= 0)
        return;
    const int next =
        _setlists.Following(1, [this](const std::string& name) { return PresetExists(_configuration, name); });
    if (next >= 0)
        Queue(next, Core::IMetronome::ChangeAt::BarLimit, Kind::Advance, handler);
}

void SetlistChangeover::Started() noexcept
{
    _kind = Kind::None;
    _tag = -1;
    _heard = _setlists.Position();
}

bool SetlistChangeover::QueueStep(Core::IMetronomeEventHandler& handler)
{
    if (_setlists.Position() == _heard) {
        Cancel();
        QueueAdvance(handler);
        return true;
    }
    return Queue(_setlists.Position(), Core::IMetronome::ChangeAt::BarLine, Kind::Step, handler);
}

bool SetlistChangeover::Queue(int position, Core::IMetronome::ChangeAt at, Kind kind,
                              Core::IMetronomeEventHandler& handler)
{
    const Configuration::Setlist* setlist = _setlists.ActiveList();
    if (setlist == nullptr)
        return false;
    const std::string name = _setlists.PresetAt(position);
    const Configuration::Song* song = nullptr;
    if (_setlists.IsSongAt(position)) {
        song = _findSong ? _findSong(name) : nullptr;
        if (song == nullptr)
            return false;
        _next = _configuration.GetCurrentSettings();
    } else if (!PresetSettings(_configuration, name, _next)) {
        return false;
    }
    _metronome.SetSong(song);
    _metronome.SetBarLimit(song != nullptr ? 0 : setlist->advanceBars);
    // A queued entry that cannot play leaves nothing waiting (the metronome took back the last),
    // and no song for a later start.
    const bool queued = _metronome.Continue(handler, _next, at, position) == 0;
    if (!queued && song != nullptr)
        _metronome.SetSong(nullptr);
    _kind = queued ? kind : Kind::None;
    _tag = queued ? position : -1;
    return queued;
}

bool SetlistChangeover::TookOver(int tag, bool playing)
{
    _heard = tag;
    const bool last = tag == _tag;
    if (last) {
        _kind = Kind::None;
        _tag = -1;
    }
    // N and B moved the position already; an advance moves it as it is heard.
    if (last || !playing)
        _setlists.MoveTo(tag);
    return last && playing;
}

bool SetlistChangeover::Stopped() noexcept
{
    const bool stepped = _kind == Kind::Step;
    _kind = Kind::None;
    _tag = -1;
    return stepped;
}

void SetlistChangeover::Cancel()
{
    if (_kind != Kind::None)
        _metronome.CancelContinuation();
    _kind = Kind::None;
    _tag = -1;
}

}  // namespace GUI
