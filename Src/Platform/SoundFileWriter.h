#pragma once

#include <cstdint>
#include <string>

namespace Platform {

// A sound file written frame by frame through libsndfile: WAV (16-bit) or FLAC (16-bit), chosen
// by the name's ending (".flac"; anything else is WAV). The samples given are interleaved floats
// in [-1, 1].
class SoundFileWriter {
public:
    SoundFileWriter() = default;
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    // Whether a file of this name is written as FLAC.
    static bool IsFlac(const std::string& path);
    // Whether the name ends in a kind of file this writer writes: ".wav" or ".flac", in any case.
    static bool HasKnownEnding(const std::string& path);
    // False, with Error() telling why, when the file cannot be created.
    bool Open(const std::string& path, int rate, int channels);
    bool Write(const float* samples, std::int64_t frames);
    // Finishes the file (its header); false when that fails.
    bool Close();
    // libsndfile's word on the last failure.
    const std::string& Error() const noexcept { return _error; }

private:
    void* _file = nullptr;
    int _channels = 0;
    std::string _error;
};

}  // namespace Platform
