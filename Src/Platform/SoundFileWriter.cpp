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
#include <fstream>

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

    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = (IsFlac(path) ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open_fd(_descriptor, SFM_WRITE, &info, SF_FALSE);
    if (!file) {
        const std::string why = sf_strerror(nullptr);
        Discard();
        return Fail(why, 0);
    }
    // Floats beyond full scale are clipped, not wrapped round.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    _file = file;
    _channels = channels;
    _flac = IsFlac(path);
    _gathered = 0;
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
    if (!_file)
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
        std::int16_t* out = _block.data() + _gathered * _channels;
        for (std::int64_t i = 0; i < now * _channels; ++i)
            out[i] = ToPcm16(samples[i]);
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
    if (!_file)
        return false;
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
    auto* file = static_cast<SNDFILE*>(_file);
    const std::int64_t frames = _gathered;
    _gathered = 0;
    if (frames > 0 && sf_writef_short(file, _block.data(), frames) != frames) {
        _error = sf_strerror(file);
        return false;
    }
    // What has been written starts on its way to the disk now, so that the final flush before the
    // file takes its name has little left to wait for.
    const off_t written = ::lseek(_descriptor, 0, SEEK_CUR);
    if (written - _handedOver >= WriteBackBytes) {
        ::sync_file_range(_descriptor, _handedOver, written - _handedOver, SYNC_FILE_RANGE_WRITE);
        _handedOver = written;
    }
    return true;
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
