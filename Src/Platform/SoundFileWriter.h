#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Platform {

// A sound file written frame by frame: WAV (16-bit) or FLAC (16-bit, through libsndfile), chosen
// by the name's ending (".flac"; anything else is WAV). The samples given are interleaved floats
// in [-1, 1] (beyond it they are clipped); silence is given by its length alone. Frames are
// gathered as 16-bit samples (rounded as libsndfile rounds them) and written in large blocks, and the file's pages
// are sent to the disk while later ones are written, so that finishing it waits for little.
// A WAV file is the one libsndfile writes, byte for byte, but its silence is not written: it is
// left to the file system as a hole (reading as zeros), so that a click track, mostly silence,
// costs the page cache and the disk only its clicks.
//
// The sound goes to a temporary file beside the target, which replaces the target only when it
// is complete (Commit): a file of that name stays whole until then, and stays as it was when
// writing fails or is abandoned. Only a regular file is written over: a FIFO, a device or a
// folder of that name is refused at once.
class SoundFileWriter {
public:
    SoundFileWriter() = default;
    // Abandons a file not committed.
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    // Whether a file of this name is written as FLAC.
    static bool IsFlac(const std::string& path);
    // Whether the name ends in a kind of file this writer writes: ".wav" or ".flac", in any case.
    static bool HasKnownEnding(const std::string& path);
    // False, with Error() telling why, when the file cannot be written there.
    bool Open(const std::string& path, int rate, int channels);
    bool Write(const float* samples, std::int64_t frames);
    bool WriteSilence(std::int64_t frames);
    // Finishes the file and puts it in the target's place (keeping an existing target's
    // permissions); false, the target untouched, when that fails.
    bool Commit();
    // Drops what was written; the target stays as it was.
    void Discard();
    // Why the last call failed.
    const std::string& Error() const noexcept { return _error; }

private:
    bool Fail(const std::string& what, int error);
    bool CloseTemporary(bool keep);
    // Writes the gathered frames (to libsndfile, or at their place in the WAV file).
    bool Flush();
    bool WriteAt(const void* data, std::size_t bytes, std::int64_t offset);
    // The WAV file's header, for `dataBytes` of sound.
    bool WriteWaveHeader(std::int64_t dataBytes);

    // Frames gathered before they are handed over: 128 KB of stereo.
    static constexpr std::int64_t BlockFrames = 32768;

    void* _file = nullptr;
    int _descriptor = -1;
    int _channels = 0;
    bool _flac = false;
    std::vector<std::int16_t> _block;  // BlockFrames frames
    std::int64_t _gathered = 0;        // frames in _block
    int _rate = 0;
    std::int64_t _position = 0;    // WAV: bytes of sound written or left as silence, before the gathered ones
    std::int64_t _handedOver = 0;  // bytes of the file sent to the disk so far (about)
    std::string _target;           // the file that is replaced (a symbolic link's target)
    std::string _temporary;        // what is being written
    std::string _error;
};

}  // namespace Platform
