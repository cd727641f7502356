// MIDI files: arbitrary bytes are read as a Standard MIDI File without crashing, hanging or
// tripping the sanitizers; and the same bytes read as a tempo map give a song whose MIDI file
// reads back whole, with a note for every sounding beat, in time order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Core/SongMidiFile.h"
#include "Core/TempoMap.h"
#include "SilentLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fuzz::SilentLog log;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Core::SongMidiFile::Contents contents;
    Core::SongMidiFile::Read(bytes, contents);

    Configuration::Song song;
    Core::TempoMap::Read(bytes, song);
    std::int64_t beats = 0;
    std::size_t sounding = 0;
    for (const auto& section : song.sections) {
        const std::int64_t bars = section.bars == 0 ? 1 : section.bars;
        beats += bars * section.BeatsPerBar();
        if (beats > Core::SongMidiFile::MaxBeats)
            return 0;  // left out by the writer
        for (std::int64_t bar = 0; bar < bars; ++bar)
            for (int beat = 0; beat < section.BeatsPerBar(); ++beat)
                if (!section.Muted(static_cast<std::int32_t>(bar)) && section.volume > 0 &&
                    section.Level(beat) != Configuration::BeatLevel::Silent)
                    ++sounding;
    }
    if (!Core::SongMidiFile::Read(Core::SongMidiFile::Write(song), contents) || contents.notes.size() != sounding ||
        contents.meters.size() != song.sections.size())
        std::abort();
    for (std::size_t n = 1; n < contents.notes.size(); ++n)
        if (!(contents.notes[n].seconds > contents.notes[n - 1].seconds))
            std::abort();
    return 0;
}
