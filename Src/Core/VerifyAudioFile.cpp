#include "Core/VerifyAudioFile.h"

#include "Configuration/ConfigurationData.h"

#include <cstdint>
#include <string>

#include "Core/RiffLayout.h"
#include "Platform/File.h"
#include "Platform/Text.h"
#include "System/ILog.h"

namespace Core {

namespace {
constexpr const char* SourceFile = "Src/Core/VerifyAudioFile";
constexpr const char* Function = "Core::VerifyAudioFile";
}  // namespace

int VerifyAudioFile(const char16_t* path)
{
    const std::string name = Platform::Text::Utf16ToUtf8(path);
    if (!Platform::File::Exists(name))
        return AudioFileMissing;

    Platform::File file;
    if (!file.Open(name, Platform::File::Mode::Read)) {
        System::ReportSystemErrorCode(file.Error(), SourceFile, Function, __LINE__, "Error calling %s",
                                      file.FailedCall());
        return AudioFileNotOpened;
    }
    const std::int64_t size = file.Size();
    if (size < 0) {
        System::ReportSystemErrorCode(file.Error(), SourceFile, Function, __LINE__, "Error calling %s",
                                      file.FailedCall());
        return AudioFileSizeUnknown;
    }
    if (!file.Seek(Riff::HeaderSize)) {
        System::ReportSystemErrorCode(file.Error(), SourceFile, Function, __LINE__, "Error calling %s",
                                      file.FailedCall());
        return AudioFileNotPositioned;
    }

    // The format chunk's header and the 16 bytes of its format block.
    unsigned char header[Riff::ChunkHeaderSize + Riff::FormatBlockSize];
    const long long count = Riff::ReadFully(file, header, sizeof header);
    if (count < 0) {
        System::ReportSystemErrorCode(file.Error(), SourceFile, Function, __LINE__, "Error calling %s",
                                      file.FailedCall());
        return AudioFileHeaderUnreadable;
    }
    if (count < static_cast<long long>(sizeof header)) {
        System::Log().Write(System::Error, "The audio file %s ends after %lld bytes, before its wave format, in %s",
                            name.c_str(), static_cast<long long>(size), Function);
        return AudioFileHeaderUnreadable;
    }

    const unsigned char* format = header + Riff::ChunkHeaderSize;
    if (Riff::Read32(format + Riff::SamplesPerSecOffset) > MaxAudioFileSampleRate ||
        Riff::Read16(format + Riff::BitsPerSampleOffset) > MaxAudioFileBitsPerSample)
        return AudioFileInvalid;
    if (size > LargeAudioFileSize)
        return AudioFileLarge;
    return AudioFileAcceptable;
}

int FirstUnusableAudioFile(const Configuration::ConfigurationData& settings, int& code)
{
    for (int i = 0; i < Configuration::ConfigurationData::NumVoices; ++i) {
        if (settings.File[i][0] == 0)
            continue;
        code = VerifyAudioFile(settings.File[i]);
        if (!IsUsableAudioFile(code))
            return i;
    }
    code = AudioFileAcceptable;
    return -1;
}

}  // namespace Core
