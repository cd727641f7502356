#include "Platform/SoundFileWriter.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "Platform/File.h"
#include "Platform/SystemError.h"

namespace Platform {

namespace {

const char* KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// The permissions a new file gets: read and write for all, less the process's mask.
mode_t NewFileMode()
{
    mode_t mask = 022;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0) {
            mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
            break;
        }
    }
    return 0666 & ~mask;
}

// Bytes written before they are sent on to the disk without waiting for them.
constexpr std::int64_t WriteBackBytes = 8 << 20;

// A sample in [-1, 1] as 16 bits, clipped, bit for bit as libsndfile converts floats with
// clipping on: scaled to 32 bits, then the top 16 kept.
std::int16_t ToPcm16(float sample)
{
    const float scaled = sample * 2147483648.0f;
    if (scaled >= 2147483647.0f)
        return 32767;
    if (scaled <= -2147483648.0f)
        return -32768;
    return static_cast<std::int16_t>(static_cast<std::int32_t>(std::lrintf(scaled)) >> 16);
}

// Samples as 16 bits, each exactly as ToPcm16 converts it: four at a time where the processor
// can (its rounding is lrintf's, clipping to the largest float below 2^31 keeps the top 16 bits).
void ToPcm16(const float* samples, std::int16_t* out, std::int64_t count)
{
    std::int64_t i = 0;
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(2147483648.0f);
    const __m128 lowest = _mm_set1_ps(-2147483648.0f);
    const __m128 highest = _mm_set1_ps(2147483520.0f);
    const auto convert = [&](const float* four) {
        const __m128 scaled = _mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_loadu_ps(four), scale), lowest), highest);
        return _mm_srai_epi32(_mm_cvtps_epi32(scaled), 16);
    };
    for (; i + 8 <= count; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packs_epi32(convert(samples + i), convert(samples + i + 4)));
#endif
    for (; i < count; ++i)
        out[i] = ToPcm16(samples[i]);
}

// The header of a 16-bit PCM WAV file, as libsndfile writes it.
constexpr std::int64_t WaveHeaderBytes = 44;

std::string NameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

SoundFileWriter::~SoundFileWriter()
{
    Discard();
}

namespace {

bool EndsIn(const std::string& path, const std::string& ending)
{
    if (path.size() < ending.size())
        return false;
    std::string tail = path.substr(path.size() - ending.size());
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ending;
}

}  // namespace

bool SoundFileWriter::IsFlac(const std::string& path)
{
    return EndsIn(path, ".flac");
}

bool SoundFileWriter::HasKnownEnding(const std::string& path)
{
    return EndsIn(path, ".wav") || IsFlac(path);
}

bool SoundFileWriter::Fail(const std::string& what, int error)
{
    _error = what;
    if (error != 0)
        _error += ": " + ErrorText(error);
    return false;
}

bool SoundFileWriter::Open(const std::string& path, int rate, int channels)
{
    Discard();
    _error.clear();
    if (path.empty() || path.back() == '/')
        return Fail(path + " names no file", 0);
    // What is there already is looked at without opening it: opening a FIFO with no reader
    // would wait forever. A symbolic link stays: the file it leads to is replaced.
    _target = path;
    mode_t mode = NewFileMode();
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (!S_ISREG(status.st_mode))
            return Fail(path + " is " + KindOf(status.st_mode) + ", not a regular file", 0);
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            _target = resolved;
        mode = status.st_mode & 07777;
    } else if (errno != ENOENT) {
        return Fail(path, errno);
    }

    _temporary = File::FolderOf(_target) + "/." + NameOf(_target) + ".XXXXXX";
    _descriptor = ::mkostemp(_temporary.data(), O_CLOEXEC);
    if (_descriptor < 0) {
        const int error = errno;
        _temporary.clear();
        return Fail("cannot write in the folder of " + path, error);
    }
    ::fchmod(_descriptor, mode);

    _flac = IsFlac(path);
    if (_flac) {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open_fd(_descriptor, SFM_WRITE, &info, SF_FALSE);
        if (!file) {
            const std::string why = sf_strerror(nullptr);
            Discard();
            return Fail(why, 0);
        }
        // Floats beyond full scale are clipped, not wrapped round.
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        _file = file;
    }
    _channels = channels;
    _rate = rate;
    _gathered = 0;
    _position = 0;
    _handedOver = 0;
    try {
        _block.assign(static_cast<std::size_t>(BlockFrames * channels), 0);
    } catch (const std::bad_alloc&) {
        Discard();
        return Fail("no memory for the sound to be written", ENOMEM);
    }
    return true;
}

bool SoundFileWriter::Write(const float* samples, std::int64_t frames)
{
    if (_descriptor < 0)
        return false;
    if (_flac) {
        // The FLAC encoder rounds floats its own way: they go to it as they are.
        auto* file = static_cast<SNDFILE*>(_file);
        if (!Flush())
            return false;
        if (sf_writef_float(file, samples, frames) != frames) {
            _error = sf_strerror(file);
            return false;
        }
        return true;
    }
    while (frames > 0) {
        const std::int64_t now = std::min(frames, BlockFrames - _gathered);
        ToPcm16(samples, _block.data() + _gathered * _channels, now * _channels);
        samples += now * _channels;
        frames -= now;
        _gathered += now;
        if (_gathered == BlockFrames && !Flush())
            return false;
    }
    return true;
}

bool SoundFileWriter::WriteSilence(std::int64_t frames)
{
    if (_descriptor < 0)
        return false;
    if (!_flac) {
        // Left unwritten: the file system reads a hole as zeros.
        if (!Flush())
            return false;
        _position += frames * _channels * static_cast<std::int64_t>(sizeof(std::int16_t));
        return true;
    }
    while (frames > 0) {
        const std::int64_t now = std::min(frames, BlockFrames - _gathered);
        std::fill_n(_block.data() + _gathered * _channels, now * _channels, std::int16_t{0});
        frames -= now;
        _gathered += now;
        if (_gathered == BlockFrames && !Flush())
            return false;
    }
    return true;
}

bool SoundFileWriter::Flush()
{
    const std::int64_t frames = _gathered;
    _gathered = 0;
    if (frames == 0)
        return true;
    if (_flac) {
        auto* file = static_cast<SNDFILE*>(_file);
        if (sf_writef_short(file, _block.data(), frames) != frames) {
            _error = sf_strerror(file);
            return false;
        }
    } else {
        const std::int64_t bytes = frames * _channels * static_cast<std::int64_t>(sizeof(std::int16_t));
        if (!WriteAt(_block.data(), static_cast<std::size_t>(bytes), WaveHeaderBytes + _position))
            return false;
        _position += bytes;
    }
    // What has been written starts on its way to the disk now, so that the final flush before the
    // file takes its name has little left to wait for.
    const off_t written = _flac ? ::lseek(_descriptor, 0, SEEK_CUR) : WaveHeaderBytes + _position;
    if (written - _handedOver >= WriteBackBytes) {
        ::sync_file_range(_descriptor, _handedOver, written - _handedOver, SYNC_FILE_RANGE_WRITE);
        _handedOver = written;
    }
    return true;
}

bool SoundFileWriter::WriteAt(const void* data, std::size_t bytes, std::int64_t offset)
{
    const auto* from = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t wrote = ::pwrite(_descriptor, from, bytes, offset);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return Fail("the sound could not be written", wrote < 0 ? errno : EIO);
        from += wrote;
        offset += wrote;
        bytes -= static_cast<std::size_t>(wrote);
    }
    return true;
}

bool SoundFileWriter::WriteWaveHeader(std::int64_t dataBytes)
{
    if (dataBytes > 0xFFFFFFFFll - (WaveHeaderBytes - 8))
        return Fail("the sound is too long for a WAV file", 0);
    unsigned char header[WaveHeaderBytes];
    const auto put = [&header](int at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            header[at + i] = static_cast<unsigned char>(value >> (8 * i));
    };
    const auto frameBytes = static_cast<std::uint32_t>(_channels * 2);
    std::memcpy(header, "RIFF", 4);
    put(4, static_cast<std::uint32_t>(dataBytes + WaveHeaderBytes - 8), 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put(16, 16, 4);  // the format's size
    put(20, 1, 2);   // PCM
    put(22, static_cast<std::uint32_t>(_channels), 2);
    put(24, static_cast<std::uint32_t>(_rate), 4);
    put(28, static_cast<std::uint32_t>(_rate) * frameBytes, 4);
    put(32, frameBytes, 2);
    put(34, 16, 2);  // bits a sample
    std::memcpy(header + 36, "data", 4);
    put(40, static_cast<std::uint32_t>(dataBytes), 4);
    return WriteAt(header, sizeof header, 0);
}

// Closes the temporary file; when it is to be kept, finishes it first and tells whether any of
// its bytes may be missing.
bool SoundFileWriter::CloseTemporary(bool keep)
{
    bool good = keep;
    if (_file) {
        // The frames still gathered go first.
        if (keep && !Flush())
            good = false;
        auto* file = static_cast<SNDFILE*>(_file);
        _file = nullptr;
        if (keep) {
            sf_write_sync(file);
            if (sf_error(file) != SF_ERR_NO_ERROR)
                good = Fail(sf_strerror(file), 0);
        }
        if (sf_close(file) != 0 && good)
            good = Fail(sf_strerror(nullptr), 0);
    } else if (keep && _descriptor >= 0) {
        // A WAV file: the sound still gathered, the silence at its end (the file's length), the
        // header with the length of it all.
        good = Flush() &&
            (::ftruncate(_descriptor, WaveHeaderBytes + _position) == 0 ||
             Fail("the sound could not be written", errno));
        good = good && WriteWaveHeader(_position);
    }
    if (_descriptor >= 0) {
        // The data is on the disk before the name says the file is complete.
        if (good && ::fsync(_descriptor) != 0)
            good = Fail("the sound could not be written to the disk", errno);
        if (::close(_descriptor) != 0 && good)
            good = Fail("the sound could not be written to the disk", errno);
        _descriptor = -1;
    }
    return good;
}

bool SoundFileWriter::Commit()
{
    if (_temporary.empty())
        return _error.empty();
    if (!CloseTemporary(true)) {
        Discard();
        return false;
    }
    int error = 0;
    if (!File::Rename(_temporary, _target, true, &error)) {
        Discard();
        return Fail("the finished file could not be put in the place of " + _target, error);
    }
    _temporary.clear();
    return true;
}

void SoundFileWriter::Discard()
{
    CloseTemporary(false);
    if (!_temporary.empty())
        File::Remove(_temporary);
    _temporary.clear();
}

}  // namespace Platform
