// The second settings file: arbitrary bytes are read; nothing may crash, hang or trip the
// sanitizers, and what was read, written and read again gives the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Configuration/ExtraSettings.h"
#include "SilentLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fuzz::SilentLog log;
    Configuration::ExtraSettings first("/nonexistent/Ticova.extras");
    first.Read(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string written = first.Write();
    Configuration::ExtraSettings second("/nonexistent/Ticova.extras");
    if (second.Read(written) != 0 || second.Write() != written)
        std::abort();
    for (const std::string& key : first.Keys(""))
        if (first.Text(key) != second.Text(key))
            std::abort();
    return 0;
}
