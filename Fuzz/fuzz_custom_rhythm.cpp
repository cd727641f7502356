// Custom rhythm texts come from the configuration file: any UTF-16 text of up to 511 units.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Core/CustomText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace Core::CustomText;
    if (size < 1)
        return 0;
    const bool compound = data[0] & 1;
    const bool visual = data[0] & 2;
    // Mostly one byte per unit, so that the fuzzer reaches long rhythms; with bit 2 two bytes
    // a unit, so that any UTF-16 unit can occur.
    const bool wide = data[0] & 4;
    char16_t text[1100];
    std::size_t length = 0;
    if (wide) {
        for (std::size_t i = 1; i + 1 < size && length < sizeof text / sizeof text[0]; i += 2)
            text[length++] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    } else {
        for (std::size_t i = 1; i < size && length < sizeof text / sizeof text[0]; ++i)
            text[length++] = data[i];
    }
    const std::u16string_view view(text, length);

    static StepValues values;
    static PatternEntries entries;
    std::int32_t total = -1;
    const std::int32_t code = ParseCustomRhythm(view, compound, visual, values, entries, total);
    if (code != Ok && code != RhythmMalformed && code != RhythmTooLong)
        std::abort();
    if (code == Ok) {
        if (total < 0 || total > MaxSteps)
            std::abort();
        // Every stored voice is 1..12.
        for (std::int32_t i = 0; i < total; ++i)
            for (std::uint32_t v = values[i]; v != 0; v >>= 4)
                if ((v & 0xF) > 12)
                    std::abort();
    }
    return 0;
}
