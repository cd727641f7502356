// Tempo-map text: arbitrary text is read as a song; nothing may crash, hang or trip the
// sanitizers, every section is within its ranges, the song written and read again is read with
// no note and plays the same tempi, and the song's timing is finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Configuration/ConfigurationData.h"
#include "Core/SongTimerStrategy.h"
#include "Core/TempoMap.h"
#include "SilentLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fuzz::SilentLog log;
    Configuration::Song song;
    for (const auto& note : Core::TempoMap::Read(std::string_view(reinterpret_cast<const char*>(data), size), song))
        (void)Core::TempoMap::Describe(note);
    Configuration::Song fitted = song;
    if (!fitted.Fit())
        std::abort();  // what was read is in range already

    Configuration::Song again;
    if (!Core::TempoMap::Read(Core::TempoMap::Write(song), again).empty() ||
        again.sections.size() != song.sections.size())
        std::abort();
    for (std::size_t n = 0; n < song.sections.size(); ++n) {
        const auto& a = song.sections[n];
        const auto& b = again.sections[n];
        if (a.bars != b.bars || a.BeatsPerBar() != b.BeatsPerBar() || a.unit != b.unit ||
            std::fabs(a.tempo - b.tempo) > 1e-3 || std::fabs(a.endTempo - b.endTempo) > 1e-3 || a.volume != b.volume)
            std::abort();
        for (int beat = 0; beat < a.BeatsPerBar(); ++beat)
            if ((a.Level(beat) == Configuration::BeatLevel::Silent) !=
                (b.Level(beat) == Configuration::BeatLevel::Silent))
                std::abort();
    }
    if (!song.sections.empty()) {
        Core::SongTimerStrategy timing;
        timing.SetSong(song);
        Configuration::ConfigurationData settings;
        timing.Initialise(settings);
        if (!std::isfinite(timing.LengthMs()) || timing.LengthMs() <= 0)
            std::abort();
    }
    return 0;
}
