#pragma once

#include <cstddef>

namespace Platform {

// True when standard error is a terminal: someone started the program from a shell and reads it.
bool StandardErrorIsTerminal() noexcept;

// Writes `length` bytes of `text` to standard error as they are.
void WriteStandardError(const char* text, std::size_t length) noexcept;

// Keeps the sound libraries quiet on standard error. Opening the sound output makes ALSA try
// every card and plug-in its configuration names, and a missing one prints a line each time (some
// sixty on a machine without a sound card) although nothing failed; JACK prints its own when no
// server runs. Their messages go to `sink` instead (null: dropped). Call it before the first use
// of the sound output. A real failure is still reported by the output's result codes.
void QuietenSoundLibraries(void (*sink)(const char* message));

}  // namespace Platform
