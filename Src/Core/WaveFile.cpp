#include "Core/WaveFile.h"

#include <new>
#include <string>

#include "Core/RiffLayout.h"
#include "Platform/File.h"
#include "Platform/Text.h"
#include "System/ILog.h"
#include "System/MultimediaError.h"

namespace Core {

namespace {

constexpr const char* SourceFile = "Src/Core/WaveFile";

void ReportFileError(const Platform::File& file, const char* function, int line)
{
    System::ReportSystemErrorCode(file.Error(), SourceFile, function, line, "Error calling %s", file.FailedCall());
}

// A chunk identifier as text for the log: bytes that are not printable ASCII become '?'.
std::string ChunkName(const char (&id)[4])
{
    std::string name(id, 4);
    for (char& c : name)
        if (c < 0x20 || c > 0x7E)
            c = '?';
    return name;
}

bool IsDataChunk(const char (&id)[4])
{
    static constexpr char data[] = "data";
    for (int i = 0; i < 4; ++i) {
        char c = id[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != data[i])
            return false;
    }
    return true;
}

}  // namespace

WaveFile::~WaveFile()
{
    // The players' threads read the sample buffer: they end before it is freed.
    _players.reset();
}

int WaveFile::PlayerCountFor(std::int64_t fileSize, int count) noexcept
{
    const std::int64_t players = fileSize / BytesPerExtraPlayer + count;
    return players > MaxPlayers ? MaxPlayers : static_cast<int>(players);
}

bool WaveFile::PreparePlayers(const char16_t* path, int count)
{
    if (!path || path[0] == 0)
        return true;
    _lastResult = 0;
    Platform::WaveFormat format{};
    std::int64_t fileSize = 0;
    std::uint32_t dataSize = 0;
    if (!OpenWaveFile(path, format, fileSize, dataSize))
        return false;
    if (!AllocateWavePlayers(fileSize, count))
        return false;
    for (int i = 0; i < _playersInUse; ++i) {
        _lastUsed = i;
        const bool opened = _offline ? _players[i].OpenAudioDevice(format, _samples.get(), dataSize, *_offline)
                                     : _players[i].OpenAudioDevice(format, _samples.get(), dataSize);
        if (!opened)
            return false;
    }
    _lastUsed = -1;
    return true;
}

bool WaveFile::AllocateWavePlayers(std::int64_t fileSize, int count)
{
    const int players = PlayerCountFor(fileSize, count);
    if (players <= _playersAllocated) {
        _playersInUse = players;
        return true;
    }
    _players.reset();  // each player is closed as it is destroyed
    _playersAllocated = 0;
    _playersInUse = 0;
    _players.reset(new (std::nothrow) WavePlayer[players > 0 ? players : 1]);
    if (!_players) {
        System::Log().Write(System::Error,
                            "Unable to allocate memory for %d WavePlayers in WaveFile::AllocateWavePlayers", players);
        return false;
    }
    _playersAllocated = players;
    _playersInUse = players;
    return true;
}

bool WaveFile::HandedOver() const noexcept
{
    for (int i = 0; i < _playersInUse; ++i)
        if (!_players[i].HandedOver())
            return false;
    return true;
}

bool WaveFile::Play(std::int32_t volume, Platform::OutputFrame frame)
{
    if (_playersInUse <= 0) {
        _lastResult = System::NoAudioFileResult;
        System::Log().Write(System::Warn, "Attempting to play sound when _waveOutHandle not initialised");
        return false;
    }
    _lastUsed = _lastUsed + 1 >= _playersInUse ? 0 : _lastUsed + 1;
    return _players[_lastUsed].Play(volume, frame);
}

void WaveFile::ClosePlayers()
{
    // On the program's output their threads finish closing on their own (a reopening waits for
    // them). An output rendered by its owner takes their last commands only as that owner
    // renders, on one thread: closed here, before it renders on.
    for (int i = 0; i < _playersInUse; ++i) {
        if (_offline)
            _players[i].CloseAudioDevice();
        else
            _players[i].BeginClose();
    }
}

void WaveFile::FinishClosing()
{
    for (int i = 0; i < _playersAllocated; ++i)
        if (!_players[i].IsOpen())
            _players[i].CloseAudioDevice();
}

std::uint32_t WaveFile::GetLastResult() const noexcept
{
    if (_playersInUse <= 0 || _lastUsed < 0)
        return _lastResult;
    return _players[_lastUsed].GetLastResult();
}

bool WaveFile::OpenWaveFile(const char16_t* path, Platform::WaveFormat& format, std::int64_t& fileSize,
                            std::uint32_t& dataSize)
{
    const std::string name = Platform::Text::Utf16ToUtf8(path);
    // The helpers name the file in their log lines; the name lives only as long as this call.
    struct PathForLog {
        const char*& path;
        ~PathForLog() { path = ""; }
    } pathForLog{_path};
    _path = name.c_str();
    dataSize = 0;
    // No player may still read the sample buffer that is about to be refilled or replaced.
    for (int i = 0; i < _playersAllocated; ++i)
        _players[i].CloseAudioDevice();

    Platform::File file;
    if (!file.Open(name, Platform::File::Mode::Read)) {
        ReportFileError(file, "Core::WaveFile::OpenWaveFile", __LINE__);
        return false;
    }
    if (!GetWaveFileSize(file, fileSize))
        return false;
    // The RIFF header, the format chunk's header and its format block must all be there.
    constexpr std::int64_t formatEnd = Riff::HeaderSize + Riff::ChunkHeaderSize + Riff::FormatBlockSize;
    if (fileSize < formatEnd) {
        System::Log().Write(System::Error,
                            "The audio file %s is %lld bytes long, too short for a wave format, in "
                            "Core::WaveFile::OpenWaveFile",
                            _path, static_cast<long long>(fileSize));
        return false;
    }
    if (!SetFilePointer(file, Riff::HeaderSize))
        return false;
    ChunkHeader formatChunk{};
    if (!ReadRiffChunk(file, formatChunk))
        return false;
    if (!ReadWaveFileHeader(file, format))
        return false;
    constexpr std::int64_t formatStart = Riff::HeaderSize + Riff::ChunkHeaderSize;
    if (!ChunkFits(formatChunk, fileSize - formatStart))
        return false;
    if (formatChunk.size < Riff::FormatBlockSize) {
        System::Log().Write(System::Error,
                            "The format chunk of the audio file %s is %u bytes long, shorter than a wave format, in "
                            "Core::WaveFile::OpenWaveFile",
                            _path, static_cast<unsigned>(formatChunk.size));
        return false;
    }
    std::uint32_t size = 0;
    if (!FindDataChunk(file, AfterPad(file, formatStart + formatChunk.size, formatChunk.size, fileSize), fileSize,
                       size))
        return false;
    if (!AllocateSampleDataMemory(size))
        return false;
    dataSize = size;
    return GetWaveFileData(file, size);
}

bool WaveFile::GetWaveFileSize(Platform::File& file, std::int64_t& size)
{
    size = file.Size();
    if (size < 0) {
        ReportFileError(file, "Core::WaveFile::GetWaveFileSize", __LINE__);
        size = 0;
        return false;
    }
    if (size == 0) {
        System::Log().Write(System::Error, "The audio file %s is empty, in Core::WaveFile::GetWaveFileSize", _path);
        return false;
    }
    return true;
}

bool WaveFile::SetFilePointer(Platform::File& file, std::int64_t position)
{
    if (!file.Seek(position)) {
        ReportFileError(file, "Core::WaveFile::SetFilePointer", __LINE__);
        return false;
    }
    return true;
}

bool WaveFile::ReadRiffChunk(Platform::File& file, ChunkHeader& header)
{
    unsigned char bytes[Riff::ChunkHeaderSize];
    const long long count = Riff::ReadFully(file, bytes, sizeof bytes);
    if (count < 0) {
        ReportFileError(file, "Core::WaveFile::ReadRiffChunk", __LINE__);
        return false;
    }
    if (count < static_cast<long long>(sizeof bytes)) {
        // Sizes are checked before every read, so only a file cut short meanwhile ends here.
        System::Log().Write(System::Error,
                            "The audio file %s ends inside a chunk header, in Core::WaveFile::ReadRiffChunk", _path);
        return false;
    }
    for (int i = 0; i < 4; ++i)
        header.id[i] = static_cast<char>(bytes[i]);
    header.size = Riff::Read32(bytes + 4);
    return true;
}

bool WaveFile::ReadWaveFileHeader(Platform::File& file, Platform::WaveFormat& format)
{
    unsigned char block[Riff::FormatBlockSize];
    const long long count = Riff::ReadFully(file, block, sizeof block);
    if (count < 0) {
        ReportFileError(file, "Core::WaveFile::ReadWaveFileHeader", __LINE__);
        return false;
    }
    if (count < static_cast<long long>(sizeof block)) {
        System::Log().Write(System::Error,
                            "The audio file %s ends inside its wave format, in Core::WaveFile::ReadWaveFileHeader",
                            _path);
        return false;
    }
    format.formatTag = Riff::Read16(block + Riff::FormatTagOffset);
    format.channels = Riff::Read16(block + Riff::ChannelsOffset);
    format.samplesPerSec = Riff::Read32(block + Riff::SamplesPerSecOffset);
    format.avgBytesPerSec = Riff::Read32(block + Riff::AvgBytesPerSecOffset);
    format.blockAlign = Riff::Read16(block + Riff::BlockAlignOffset);
    format.bitsPerSample = Riff::Read16(block + Riff::BitsPerSampleOffset);
    format.extraSize = 0;
    return true;
}

// Walks the chunks from `position` to the one named "data" (in any case), leaving the file at
// its first byte. A chunk that claims more bytes than the file has left ends the search, so no
// size read from the file is ever trusted beyond its end.
bool WaveFile::FindDataChunk(Platform::File& file, std::int64_t position, std::int64_t fileSize,
                             std::uint32_t& dataSize)
{
    for (;;) {
        if (fileSize - position < static_cast<std::int64_t>(Riff::ChunkHeaderSize)) {
            System::Log().Write(System::Error, "The audio file %s has no data chunk, in Core::WaveFile::OpenWaveFile",
                                _path);
            return false;
        }
        if (!SetFilePointer(file, position))
            return false;
        ChunkHeader header{};
        if (!ReadRiffChunk(file, header))
            return false;
        position += Riff::ChunkHeaderSize;
        if (!ChunkFits(header, fileSize - position))
            return false;
        if (IsDataChunk(header.id)) {
            dataSize = header.size;
            return true;
        }
        position = AfterPad(file, position + header.size, header.size, fileSize);
    }
}

// RIFF keeps chunks on even offsets: an odd-sized chunk is followed by a pad byte of zero. It
// is skipped when it is there; a writer that left it out starts the next identifier at once,
// and an identifier never begins with a zero byte.
std::int64_t WaveFile::AfterPad(Platform::File& file, std::int64_t end, std::uint32_t size, std::int64_t fileSize)
{
    if ((size & 1u) == 0 || end >= fileSize || !file.Seek(end))
        return end;
    unsigned char pad = 1;
    return Riff::ReadFully(file, &pad, 1) == 1 && pad == 0 ? end + 1 : end;
}

bool WaveFile::ChunkFits(const ChunkHeader& header, std::int64_t left)
{
    if (header.size <= left)
        return true;
    System::Log().Write(System::Error,
                        "The chunk \"%s\" of the audio file %s claims %u bytes where %lld are left, in "
                        "Core::WaveFile::OpenWaveFile",
                        ChunkName(header.id).c_str(), _path, static_cast<unsigned>(header.size),
                        static_cast<long long>(left));
    return false;
}

bool WaveFile::AllocateSampleDataMemory(std::uint32_t size)
{
    // A smaller file keeps the larger buffer.
    if (size <= _sampleCapacity)
        return true;
    _samples.reset();
    _sampleCapacity = 0;
    _samples.reset(new (std::nothrow) unsigned char[size]);
    if (!_samples) {
        System::Log().Write(
            System::Error,
            "Unable to allocate %u bytes of memory for the sample data in WaveFile::AllocateSampleDataMemory",
            static_cast<unsigned>(size));
        return false;
    }
    _sampleCapacity = size;
    return true;
}

bool WaveFile::GetWaveFileData(Platform::File& file, std::uint32_t size)
{
    const long long count = Riff::ReadFully(file, _samples.get(), size);
    if (count < 0) {
        ReportFileError(file, "Core::WaveFile::GetWaveFileData", __LINE__);
        return false;
    }
    if (count < static_cast<long long>(size)) {
        System::Log().Write(System::Error,
                            "The audio file %s ends %lld bytes into its %u bytes of data, in "
                            "Core::WaveFile::GetWaveFileData",
                            _path, count, static_cast<unsigned>(size));
        return false;
    }
    return true;
}

}  // namespace Core
