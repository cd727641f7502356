#include "Platform/Futex.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

namespace Platform::Futex {

namespace {
static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
              std::atomic<std::uint32_t>::is_always_lock_free);

std::uint32_t* Address(const std::atomic<std::uint32_t>& word) noexcept
{
    return reinterpret_cast<std::uint32_t*>(const_cast<std::atomic<std::uint32_t>*>(&word));
}
}  // namespace

bool Wait(const std::atomic<std::uint32_t>& word, std::uint32_t expected, std::int64_t deadline) noexcept
{
    // The bit-set form takes an absolute time on the monotonic clock, Platform::Clock's.
    const timespec until{static_cast<time_t>(deadline / 1000000000LL), static_cast<long>(deadline % 1000000000LL)};
    const long result = syscall(SYS_futex, Address(word), FUTEX_WAIT_BITSET_PRIVATE, expected,
                                deadline > 0 ? &until : nullptr, nullptr, FUTEX_BITSET_MATCH_ANY);
    return result == 0 || errno != ETIMEDOUT;
}

void WakeAll(const std::atomic<std::uint32_t>& word) noexcept
{
    syscall(SYS_futex, Address(word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace Platform::Futex
