#include "Platform/SoundFileWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>

namespace Platform {

SoundFileWriter::~SoundFileWriter()
{
    Close();
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

bool SoundFileWriter::Open(const std::string& path, int rate, int channels)
{
    Close();
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = (IsFlac(path) ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        _error = sf_strerror(nullptr);
        return false;
    }
    // Floats beyond full scale are clipped, not wrapped round.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    _file = file;
    _channels = channels;
    _error.clear();
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

bool SoundFileWriter::Close()
{
    if (!_file)
        return true;
    auto* file = static_cast<SNDFILE*>(_file);
    _file = nullptr;
    if (sf_close(file) != 0) {
        _error = sf_strerror(nullptr);
        return false;
    }
    return true;
}

}  // namespace Platform
