#include "Platform/SoundFileWriter.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
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
    return true;
}

bool SoundFileWriter::Write(const float* samples, std::int64_t frames)
{
    if (!_file)
        return false;
    auto* file = static_cast<SNDFILE*>(_file);
    if (sf_writef_float(file, samples, frames) != frames) {
        _error = sf_strerror(file);
        return false;
    }
    return true;
}

// Closes the temporary file; when it is to be kept, finishes it first and tells whether any of
// its bytes may be missing.
bool SoundFileWriter::CloseTemporary(bool keep)
{
    bool good = keep;
    if (_file) {
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
