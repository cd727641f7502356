#pragma once

#include <cstdint>

namespace Core {

// The message (an index of the language object's message table) that describes a sound
// engine's multimedia result code, for the error shown after a click failed.
std::int32_t EngineErrorMessage(std::uint32_t resultCode) noexcept;

}  // namespace Core
