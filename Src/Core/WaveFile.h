#pragma once

#include <cstdint>
#include <memory>

#include "Platform/WaveOut.h"

namespace Platform {
class File;
}

namespace Core {

// One of the user's audio files: its samples, read whole into memory.
class WaveFile {
public:
    WaveFile() = default;
    ~WaveFile();
    WaveFile(const WaveFile&) = delete;
    WaveFile& operator=(const WaveFile&) = delete;

    // Reads the WAV file at `path` (zero-terminated UTF-16): its format into `format` (extra
    // size 0), its size in bytes into `fileSize` and its data chunk into the sample buffer, whose
    // byte count goes into `dataSize`. The buffer is reused when it is large enough. Every size
    // the file states is checked against the bytes it really has. False, with the cause in the
    // log, when the file cannot be read or holds no data chunk.
    bool OpenWaveFile(const char16_t* path, Platform::WaveFormat& format, std::int64_t& fileSize,
                      std::uint32_t& dataSize);

    const unsigned char* SampleData() const noexcept { return _samples.get(); }
    std::uint32_t SampleCapacity() const noexcept { return _sampleCapacity; }

private:
    struct ChunkHeader {
        char id[4];
        std::uint32_t size;
    };

    bool GetWaveFileSize(Platform::File& file, std::int64_t& size);
    bool SetFilePointer(Platform::File& file, std::int64_t position);
    bool ReadRiffChunk(Platform::File& file, ChunkHeader& header);
    bool ReadWaveFileHeader(Platform::File& file, Platform::WaveFormat& format);
    // True when the chunk's stated size fits in the `left` bytes after its header; logged otherwise.
    bool ChunkFits(const ChunkHeader& header, std::int64_t left);
    bool FindDataChunk(Platform::File& file, std::int64_t position, std::int64_t fileSize, std::uint32_t& dataSize);
    bool AllocateSampleDataMemory(std::uint32_t size);
    bool GetWaveFileData(Platform::File& file, std::uint32_t size);

    std::unique_ptr<unsigned char[]> _samples;
    std::uint32_t _sampleCapacity = 0;
    const char* _path = "";  // the file being read, for the log
};

}  // namespace Core
