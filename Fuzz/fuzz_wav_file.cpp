// Feeds arbitrary bytes, as the contents of a user's audio file, to the quick check and to the
// WAV reader (twice into one WaveFile, as a file is read again on the next start, so that the
// reused buffer is exercised). The file lives in memory, not on disc.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Core/VerifyAudioFile.h"
#include "Core/WaveFile.h"
#include "Platform/Text.h"
#include "SilentLog.h"
#include "System/ILog.h"

namespace {

struct MemoryFile {
    MemoryFile()
    {
        fd = ::memfd_create("fuzz.wav", MFD_CLOEXEC);
        if (fd < 0)
            std::abort();
        path = Platform::Text::Utf8ToUtf16("/proc/self/fd/" + std::to_string(fd));
    }
    void Fill(const std::uint8_t* data, std::size_t size)
    {
        if (::ftruncate(fd, 0) != 0 || (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
            std::abort();
    }
    int fd;
    std::u16string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fuzz::SilentLog log;
    static MemoryFile* memory = [] {
        System::SetLogForTesting(&log);
        return new MemoryFile();
    }();
    static Core::WaveFile* file = new Core::WaveFile();

    memory->Fill(data, size);
    const int code = Core::VerifyAudioFile(memory->path.c_str());
    if (code < 0 || code > Core::AudioFileInvalid)
        std::abort();

    for (int pass = 0; pass < 2; ++pass) {
        Platform::WaveFormat format{};
        std::int64_t fileSize = 0;
        std::uint32_t dataSize = 0;
        if (file->OpenWaveFile(memory->path.c_str(), format, fileSize, dataSize)) {
            // The data chunk lies inside the file, and every byte of it was read.
            if (fileSize != static_cast<std::int64_t>(size) || dataSize > size || dataSize > file->SampleCapacity())
                std::abort();
            unsigned sum = 0;
            for (std::uint32_t i = 0; i < dataSize; ++i)
                sum += file->SampleData()[i];
            (void)sum;
        }
    }
    return 0;
}
