#pragma once

#include <cstddef>
#include <cstdint>

namespace Platform {
class File;
}

namespace Core::Riff {

// The layout of a canonical RIFF/WAVE file as the audio-file reader takes it: a 12-byte RIFF
// header, the format chunk first, then any chunks up to the one named "data".
constexpr std::int64_t HeaderSize = 12;
constexpr std::size_t ChunkHeaderSize = 8;   // identifier, 32-bit size
constexpr std::size_t FormatBlockSize = 16;  // the part of the format chunk that is read

// Offsets inside the 16-byte format block.
constexpr std::size_t FormatTagOffset = 0;
constexpr std::size_t ChannelsOffset = 2;
constexpr std::size_t SamplesPerSecOffset = 4;
constexpr std::size_t AvgBytesPerSecOffset = 8;
constexpr std::size_t BlockAlignOffset = 12;
constexpr std::size_t BitsPerSampleOffset = 14;

inline std::uint16_t Read16(const unsigned char* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

inline std::uint32_t Read32(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Reads until `size` bytes are in or the file ends: the bytes read, or -1 when a read fails
// (the file keeps the error).
long long ReadFully(Platform::File& file, void* buffer, std::size_t size);

}  // namespace Core::Riff
