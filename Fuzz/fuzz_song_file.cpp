// The songs file: arbitrary file text is read as songs; nothing may crash, hang or trip the
// sanitizers, every song read is within its ranges and has a section, and what was written and
// read again gives the same songs with nothing damaged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "Configuration/SongFile.h"
#include "SilentLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fuzz::SilentLog log;
    std::vector<Configuration::Song> songs;
    Configuration::SongFile::Read(std::string_view(reinterpret_cast<const char*>(data), size), songs);
    for (const Configuration::Song& song : songs) {
        Configuration::Song fitted = song;
        if (song.sections.empty() || !fitted.Fit())
            std::abort();
    }
    std::vector<Configuration::Song> again;
    if (!Configuration::SongFile::Read(Configuration::SongFile::Write(songs), again).empty() || again != songs)
        std::abort();
    return 0;
}
