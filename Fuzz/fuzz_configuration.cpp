// Feeds arbitrary bytes to the configuration file reader, then writes what it read and reads
// that back: nothing may crash, leak or trip the sanitizers, a file written by Save must always
// read to its end, and (for input without carriage returns, which the writer turns into spaces)
// writing what was read back gives the same file again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>

#include "Configuration/FileConfiguration.h"
#include "Platform/File.h"
#include "SilentLog.h"
#include "System/ILog.h"

namespace {

const std::string& Folder()
{
    static const std::string folder = [] {
        char pattern[] = "/tmp/ticova-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        return std::string(made ? made : "/tmp") + "/";
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static Fuzz::SilentLog log;
    System::SetLogForTesting(&log);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = Folder() + "Ticova.conf";
    Configuration::FileConfiguration first(path);
    first.Read(std::string_view(reinterpret_cast<const char*>(data), size));
    const bool plain = std::memchr(data, '\r', size) == nullptr;
    // Save over a file that is not there: no backup to keep, only the write and its rename.
    Platform::File::Remove(path);
    if (!first.Save())
        std::abort();

    Configuration::FileConfiguration second(path);
    if (!second.Load())
        std::abort();
    // What was written reads back to the same file.
    std::string written;
    if (!Platform::File::ReadAll(path, written))
        std::abort();
    Platform::File::Remove(path);
    if (!second.Save())
        std::abort();
    std::string rewritten;
    if (!Platform::File::ReadAll(path, rewritten) || (plain && rewritten != written))
        std::abort();
    Platform::File::Remove(path);
    return 0;
}
