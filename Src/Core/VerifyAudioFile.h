#pragma once

namespace Configuration {
class ConfigurationData;
}

namespace Core {

// What the quick check of a chosen audio file found. The settings page and the audio-file
// engine turn the code into a message; 0 and 6 are usable, every other code rejects the file.
enum AudioFileCheck : int {
    AudioFileAcceptable = 0,
    AudioFileMissing = 1,
    AudioFileNotOpened = 2,
    AudioFileSizeUnknown = 3,
    AudioFileNotPositioned = 4,
    AudioFileHeaderUnreadable = 5,
    AudioFileLarge = 6,    // usable, but larger than 1 MB
    AudioFileInvalid = 7,  // above 44,100 samples per second or more than 16 bits per sample
};

// Files larger than this are usable but reported as large.
constexpr long long LargeAudioFileSize = 1048576;
// The highest sample rate and sample size a click file may have.
constexpr unsigned MaxAudioFileSampleRate = 44100;
constexpr unsigned MaxAudioFileBitsPerSample = 16;

// Checks the file at `path` (zero-terminated UTF-16) without loading it: that it exists and can
// be read, and that its wave format has an accepted rate and sample size. Codes 2 to 5 also leave
// the failure in the log; a missing file leaves nothing.
int VerifyAudioFile(const char16_t* path);

// True for the codes that let the file be played.
constexpr bool IsUsableAudioFile(int code)
{
    return code == AudioFileAcceptable || code == AudioFileLarge;
}

// The first audio file of the settings that is set and cannot be played, 0 to 11, with its
// check result in `code`; -1 when every file set can be played.
int FirstUnusableAudioFile(const Configuration::ConfigurationData& settings, int& code);

}  // namespace Core
