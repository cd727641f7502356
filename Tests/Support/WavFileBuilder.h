#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Tests {

// Builds the bytes of a RIFF/WAVE file piece by piece, so that tests can make well-formed files
// and the malformed ones a user might pick.
class WavFileBuilder {
public:
    struct Format {
        std::uint16_t formatTag = 1;
        std::uint16_t channels = 1;
        std::uint32_t samplesPerSec = 44100;
        std::uint16_t bitsPerSample = 16;
    };

    // The RIFF header and a 16-byte format chunk (longer when extraFormatBytes is given: the
    // chunk size grows by that many and the bytes follow the format block).
    explicit WavFileBuilder(const Format& format, std::uint32_t extraFormatBytes = 0)
    {
        Append("RIFF");
        Append32(0);  // patched by Bytes()
        Append("WAVE");
        Append("fmt ");
        Append32(16 + extraFormatBytes);
        Append16(format.formatTag);
        Append16(format.channels);
        Append32(format.samplesPerSec);
        const std::uint16_t blockAlign = static_cast<std::uint16_t>(format.channels * format.bitsPerSample / 8);
        Append32(format.samplesPerSec * blockAlign);
        Append16(blockAlign);
        Append16(format.bitsPerSample);
        for (std::uint32_t i = 0; i < extraFormatBytes; ++i)
            _bytes.push_back(0);
    }

    // A chunk with its stored size and contents (no padding byte is added after an odd size).
    WavFileBuilder& Chunk(const char* id, const std::vector<unsigned char>& contents)
    {
        return Chunk(id, static_cast<std::uint32_t>(contents.size()), contents);
    }
    // A chunk whose stored size need not match the bytes that follow it.
    WavFileBuilder& Chunk(const char* id, std::uint32_t storedSize, const std::vector<unsigned char>& contents)
    {
        Append(id);
        Append32(storedSize);
        _bytes.insert(_bytes.end(), contents.begin(), contents.end());
        return *this;
    }
    WavFileBuilder& Data(const std::vector<unsigned char>& samples) { return Chunk("data", samples); }
    WavFileBuilder& Samples16(const std::vector<std::int16_t>& samples)
    {
        std::vector<unsigned char> bytes;
        for (std::int16_t sample : samples) {
            bytes.push_back(static_cast<unsigned char>(sample & 0xFF));
            bytes.push_back(static_cast<unsigned char>((sample >> 8) & 0xFF));
        }
        return Data(bytes);
    }
    WavFileBuilder& Pad(std::size_t count, unsigned char value = 0)
    {
        _bytes.insert(_bytes.end(), count, value);
        return *this;
    }

    std::vector<unsigned char> Bytes() const
    {
        std::vector<unsigned char> bytes = _bytes;
        const std::uint32_t riffSize = static_cast<std::uint32_t>(bytes.size() - 8);
        for (int i = 0; i < 4; ++i)
            bytes[4 + i] = static_cast<unsigned char>(riffSize >> (8 * i));
        return bytes;
    }

    // Writes the file; true when every byte is written.
    bool Save(const std::string& path) const { return Save(path, Bytes()); }
    static bool Save(const std::string& path, const std::vector<unsigned char>& bytes)
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file)
            return false;
        const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        return std::fclose(file) == 0 && written;
    }

private:
    void Append(const char* fourCc)
    {
        for (int i = 0; i < 4; ++i)
            _bytes.push_back(static_cast<unsigned char>(fourCc[i]));
    }
    void Append16(std::uint16_t value)
    {
        _bytes.push_back(static_cast<unsigned char>(value));
        _bytes.push_back(static_cast<unsigned char>(value >> 8));
    }
    void Append32(std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            _bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }

    std::vector<unsigned char> _bytes;
};

}  // namespace Tests
