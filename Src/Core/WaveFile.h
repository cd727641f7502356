#pragma once

#include <cstdint>
#include <memory>

#include "Core/WavePlayer.h"
#include "Platform/WaveOut.h"

namespace Platform {
class File;
}

namespace Core {

// One of the user's audio files: its samples, read whole into memory, and the pool of wave
// players that plays them, handed out in turn so that a click may overlap the previous one.
class WaveFile {
public:
    static constexpr int MaxPlayers = 20;
    // Every this many bytes of file add one player: a long click keeps its player busy longer.
    static constexpr std::int64_t BytesPerExtraPlayer = 102400;

    WaveFile() = default;
    ~WaveFile();
    WaveFile(const WaveFile&) = delete;
    WaveFile& operator=(const WaveFile&) = delete;

    // Reads the WAV file at `path` (zero-terminated UTF-16): its format into `format` (extra
    // size 0), its size in bytes into `fileSize` and its data chunk into the sample buffer, whose
    // byte count goes into `dataSize`. The buffer is reused when it is large enough. Every size
    // the file states is checked against the bytes it really has. False, with the cause in the
    // log, when the file cannot be read or holds no data chunk. Any open player of this file is
    // closed first: its thread reads the buffer.
    bool OpenWaveFile(const char16_t* path, Platform::WaveFormat& format, std::int64_t& fileSize,
                      std::uint32_t& dataSize);

    // Reads the file at `path` and opens file size / 102,400 + `count` players (at most 20), each
    // with its device and thread. An empty path changes nothing (the file is not used). The
    // player array is reused when it is large enough. False, logged, when the file cannot be
    // read or a player cannot be opened.
    bool PreparePlayers(const char16_t* path, int count);
    // Starts the next player of the pool, in turn, at `volume`. False (result 1000, logged)
    // when that player has no device or the file has no players.
    bool Play(std::int32_t volume, Platform::OutputFrame frame = Platform::OutputFrame::AtOnce());
    // Closes every player in use; the array and the sample buffer stay for the next preparation.
    void ClosePlayers();
    // Waits for the players ClosePlayers left closing.
    void FinishClosing();
    // Opens the players of later preparations on `output` (a click track rendered offline)
    // instead of the program's output (null).
    void PlayOn(Platform::OfflineOutput* output) noexcept { _offline = output; }
    // Whether every player in use has written the click asked of it last.
    bool HandedOver() const noexcept;
    // The result code of the player used last (or of the last play request on no players).
    std::uint32_t GetLastResult() const noexcept;

    // The number of players a file of `fileSize` bytes gets when `count` are asked for.
    static int PlayerCountFor(std::int64_t fileSize, int count) noexcept;

    int PlayersInUse() const noexcept { return _playersInUse; }
    int PlayersAllocated() const noexcept { return _playersAllocated; }
    int LastUsed() const noexcept { return _lastUsed; }
    const WavePlayer* Players() const noexcept { return _players.get(); }
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
    std::int64_t AfterPad(Platform::File& file, std::int64_t end, std::uint32_t size, std::int64_t fileSize);
    bool FindDataChunk(Platform::File& file, std::int64_t position, std::int64_t fileSize, std::uint32_t& dataSize);
    bool AllocateSampleDataMemory(std::uint32_t size);
    bool GetWaveFileData(Platform::File& file, std::uint32_t size);

    bool AllocateWavePlayers(std::int64_t fileSize, int count);

    std::unique_ptr<WavePlayer[]> _players;
    Platform::OfflineOutput* _offline = nullptr;
    std::unique_ptr<unsigned char[]> _samples;
    std::uint32_t _sampleCapacity = 0;
    int _playersInUse = 0;
    int _playersAllocated = 0;
    int _lastUsed = -1;             // -1: none since the players were prepared
    std::uint32_t _lastResult = 0;  // of a play request when there are no players
    const char* _path = "";         // the file being read, for the log
};

}  // namespace Core
