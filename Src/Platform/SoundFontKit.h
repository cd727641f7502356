#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Platform {

// The percussion kit of a SoundFont file (bank 128, program 0: the kit a General MIDI percussion
// channel plays) as a SoundFont of its own, for the synthesizer to load in place of the file. Its
// information and sample data are the file's, byte for byte and at the same places; its lists of
// presets, instruments and samples hold the kit's alone. A synthesizer loading a whole General MIDI
// SoundFont builds the zones of every instrument in it (megabytes), though only the kit is played.
// Only the cut-down lists are held in memory; everything before them is read from the file when the
// synthesizer asks for it (the file stays open, so a file replaced meanwhile does not mix in).
class SoundFontKit {
public:
    // Reads `count` bytes at `offset` of a SoundFont into `out`; false when they are not all there.
    using Source = std::function<bool(std::int64_t offset, void* out, std::int64_t count)>;

    SoundFontKit() = default;
    ~SoundFontKit();
    SoundFontKit(const SoundFontKit&) = delete;
    SoundFontKit& operator=(const SoundFontKit&) = delete;

    // Cuts the kit from the SoundFont file `path`. False when the file cannot be read, is damaged in
    // its lists or has no kit: it is then to be loaded whole, as it is (and the synthesizer's own
    // checks tell what is wrong with it).
    bool Open(const std::string& path);
    // The same from a SoundFont of `size` bytes that `source` reads.
    bool Cut(Source source, std::int64_t size);

    // The bytes of the kit's SoundFont.
    std::int64_t Size() const noexcept { return _size; }
    // Its `count` bytes at `offset` into `out`; false beyond its end or when the file fails.
    bool Read(std::int64_t offset, void* out, std::int64_t count) const;

private:
    // A stretch of the kit's SoundFont: from _lists (at `from`) or from the source (at `from`).
    struct Piece {
        std::int64_t at;
        std::int64_t length;
        std::int64_t from;
        bool fromSource;
    };

    bool CutLists(const std::vector<unsigned char>& lists);

    Source _source;
    int _descriptor = -1;
    std::vector<unsigned char> _lists;  // the RIFF header and the kit's lists
    std::vector<Piece> _pieces;
    std::int64_t _size = 0;
};

}  // namespace Platform
