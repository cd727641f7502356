// Decodes arbitrary bytes as UTF-8 (file contents reach the program this way) and checks that
// the result is well-formed UTF-16, that fixed-capacity copies stay inside their arrays with
// their zero, and that the text survives a round trip back to UTF-8 and again to UTF-16.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Platform/Text.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool WellFormed(std::u16string_view text)
{
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at];
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (at + 1 >= text.size() || text[at + 1] < 0xDC00 || text[at + 1] > 0xDFFF)
                return false;
            ++at;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string wide = Platform::Text::Utf8ToUtf16(bytes);
    Check(WellFormed(wide));

    const std::string utf8 = Platform::Text::Utf16ToUtf8(wide);
    const std::u16string upToZero(wide.c_str());
    Check(Platform::Text::Utf8ToUtf16(utf8) == upToZero);

    // Fixed capacities, as the settings record uses them, with a guard unit after each.
    for (std::size_t capacity : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{80}}) {
        char16_t buffer[81];
        buffer[capacity] = 0x1234;
        const std::size_t written = Platform::Text::Utf8ToUtf16(bytes, buffer, capacity);
        Check(written < capacity && buffer[written] == 0 && buffer[capacity] == 0x1234);
        Check(WellFormed(std::u16string_view(buffer, written)));
        Check(upToZero.compare(0, written, buffer, written) == 0);

        const std::size_t copied = Platform::Text::Copy(buffer, capacity, wide);
        Check(copied == written && buffer[capacity] == 0x1234);

        char narrow[81];
        narrow[capacity] = 'g';
        const std::size_t bytesWritten = Platform::Text::Utf16ToUtf8(wide, narrow, capacity);
        Check(bytesWritten < capacity && narrow[bytesWritten] == 0 && narrow[capacity] == 'g');
        Check(utf8.compare(0, bytesWritten, narrow, bytesWritten) == 0);
    }
    return 0;
}
