#pragma once

#include <atomic>
#include <cstdint>

namespace Platform {

// Sleeping on a 32-bit atomic word with a deadline, which std::atomic's own wait does not offer.
// Whoever changes the word and knows a thread may sleep on it calls WakeAll.
namespace Futex {

// Sleeps while `word` holds `expected`, until woken or the clock (Platform::Clock) reads
// `deadline` (0: no deadline). False once the deadline has passed; true otherwise, which may be a
// spurious wake: look at the word again.
bool Wait(const std::atomic<std::uint32_t>& word, std::uint32_t expected, std::int64_t deadline) noexcept;
void WakeAll(const std::atomic<std::uint32_t>& word) noexcept;

}  // namespace Futex

}  // namespace Platform
