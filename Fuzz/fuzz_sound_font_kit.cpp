// Feeds arbitrary bytes, as the contents of a user's SoundFont, to the cutting of its percussion
// kit, and reads the kit's SoundFont back whole when one is cut.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Platform/SoundFontKit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Platform::SoundFontKit kit;
    const auto source = [data, size](std::int64_t offset, void* out, std::int64_t count) {
        if (offset < 0 || count < 0 || static_cast<std::size_t>(offset + count) > size)
            return false;
        std::memcpy(out, data + offset, static_cast<std::size_t>(count));
        return true;
    };
    if (kit.Cut(source, static_cast<std::int64_t>(size))) {
        std::vector<unsigned char> image(static_cast<std::size_t>(kit.Size()));
        if (!kit.Read(0, image.data(), kit.Size()))
            __builtin_trap();
    }
    return 0;
}
