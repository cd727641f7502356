// The setlists in the second settings file: arbitrary file text is read as setlists; nothing may
// crash, hang or trip the sanitizers, the list in use and its position stay within the lists, and
// what was read, written and read again gives the same setlists, keys not understood included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Configuration/ExtraSettings.h"
#include "Configuration/Setlists.h"
#include "SilentLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fuzz::SilentLog log;
    Configuration::ExtraSettings file("/nonexistent/Ticova.extras");
    file.Read(std::string_view(reinterpret_cast<const char*>(data), size));
    Configuration::Setlists first;
    first.Read(file);
    const auto& lists = first.Lists();
    if (first.Active() >= static_cast<int>(lists.size()) || (first.Active() < 0 && first.Position() != -1) ||
        (first.Active() >= 0 &&
         first.Position() >= static_cast<int>(lists[static_cast<std::size_t>(first.Active())].presets.size())))
        std::abort();

    Configuration::ExtraSettings written("/nonexistent/Ticova.extras");
    first.Write(written);
    Configuration::Setlists second;
    second.Read(written);
    if (second.Lists().size() != lists.size() || second.Active() != first.Active() ||
        second.Position() != first.Position())
        std::abort();
    for (std::size_t n = 0; n < lists.size(); ++n)
        if (second.Lists()[n].name != lists[n].name || second.Lists()[n].presets != lists[n].presets ||
            second.Lists()[n].advanceBars != lists[n].advanceBars ||
            second.Lists()[n].otherFields != lists[n].otherFields)
            std::abort();

    // Moving through a list whose every other preset exists stays within it.
    const auto exists = [](const std::string& name) { return name.size() % 2 == 0; };
    second.Activate(static_cast<int>(size % (lists.size() + 1)) - 1, exists);
    for (int step = 0; step < 8 && second.Next(exists); ++step) {}
    while (second.Previous(exists)) {}
    (void)second.CurrentPreset();
    return 0;
}
