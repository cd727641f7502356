#include "Core/EngineErrorMessage.h"

namespace Core {

std::int32_t EngineErrorMessage(std::uint32_t resultCode) noexcept
{
    // Result codes 2..21 and 32..35 are described by messages 25..44 and 45..48; the
    // program's own 1000 (no audio file) and 1001 (no playback thread) by 49 and 50; any
    // other code is "Unspecified error" (24).
    if (resultCode >= 2 && resultCode <= 21)
        return static_cast<std::int32_t>(resultCode) + 23;
    if (resultCode >= 32 && resultCode <= 35)
        return static_cast<std::int32_t>(resultCode) + 13;
    if (resultCode == 1000)
        return 49;
    if (resultCode == 1001)
        return 50;
    return 24;
}

}  // namespace Core
