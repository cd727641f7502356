// Custom pattern texts come from the configuration file: any UTF-16 text of up to 127 units.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Core/CustomText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace Core::CustomText;
    // The first byte chooses compound time and the indicator; the rest is the text, two bytes a unit.
    if (size < 1)
        return 0;
    const bool compound = data[0] & 1;
    const bool visual = data[0] & 2;
    char16_t text[128];
    std::size_t length = 0;
    for (std::size_t i = 1; i + 1 < size && length < 127; i += 2)
        text[length++] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const std::u16string_view view(text, length);

    static StepValues values;
    static PatternEntries entries;
    std::int32_t total = -1;
    const std::int32_t code = ParseCustomPattern(view, compound, visual, values, entries, total);
    if (code != ValidateCustomPattern(view))
        std::abort();
    if (code != Ok && code != PatternMalformed && code != PatternTooManyBeats && code != PatternGroupTooLarge)
        std::abort();
    if (code == Ok) {
        if (total < 0 || total > MaxPatternBeats)
            std::abort();
        for (std::int32_t i = 0; i < total; ++i)
            if (values[i] > 2 || (i == 0) != (values[i] == 0))
                std::abort();
    }
    return 0;
}
