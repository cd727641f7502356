#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "Platform/Futex.h"

namespace Platform {

// The newest value one thread writes for others to read when they draw (the beat a view shows).
// A sequence lock over the value's bytes: the writer never waits and makes no system call unless
// a reader sleeps in WaitForNewer; a reader retries while a write is under way, so it never sees
// half of one value and half of another. The bytes are kept in atomic words, so that a read
// racing a write is well defined. One thread writes; any number read.
template <typename T>
class LatestValue {
    static_assert(std::is_trivially_copyable_v<T>, "the value is copied in and out as bytes");

public:
    LatestValue() noexcept { Store(T{}); }
    LatestValue(const LatestValue&) = delete;
    LatestValue& operator=(const LatestValue&) = delete;

    // The writer's thread only.
    void Write(const T& value) noexcept
    {
        Store(value);
        NewVersion();
    }
    // Any thread: wakes the readers waiting in WaitForNewer without a new value (to stop them).
    void Wake() noexcept { NewVersion(); }

    // Any thread. Changes with each write (and each Wake); the value read after it is at least
    // as new as the write that set it.
    std::uint32_t Version() const noexcept { return _version.load(std::memory_order_acquire); }
    // Sleeps until Version() is no longer `seen`.
    void WaitForNewer(std::uint32_t seen) const noexcept { WaitForNewerUntil(seen, 0); }
    // The same, until the clock (Platform::Clock) reads `deadline` at the latest (0: no
    // deadline); true when the version changed.
    bool WaitForNewerUntil(std::uint32_t seen, std::int64_t deadline) const noexcept
    {
        // Counted before the version is looked at, and the writer looks at the count after it
        // changed the version: one of the two sees the other (both in the one total order).
        _sleepers.fetch_add(1, std::memory_order_seq_cst);
        while (_version.load(std::memory_order_seq_cst) == seen && Futex::Wait(_version, seen, deadline)) {}
        _sleepers.fetch_sub(1, std::memory_order_relaxed);
        return _version.load(std::memory_order_acquire) != seen;
    }

    T Read() const noexcept
    {
        Word words[WordCount];
        for (;;) {
            const std::uint32_t before = _sequence.load(std::memory_order_acquire);
            if (before & 1)
                continue;  // a write is under way
            for (std::size_t i = 0; i < WordCount; ++i)
                words[i] = _words[i].load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (_sequence.load(std::memory_order_relaxed) == before)
                break;
        }
        T value;
        std::memcpy(&value, words, sizeof value);
        return value;
    }

private:
    using Word = std::uint64_t;
    static constexpr std::size_t WordCount = (sizeof(T) + sizeof(Word) - 1) / sizeof(Word);

    void NewVersion() noexcept
    {
        _version.fetch_add(1, std::memory_order_seq_cst);
        if (_sleepers.load(std::memory_order_seq_cst) > 0)
            Futex::WakeAll(_version);
    }

    void Store(const T& value) noexcept
    {
        Word words[WordCount] = {};
        std::memcpy(words, &value, sizeof value);
        const std::uint32_t sequence = _sequence.load(std::memory_order_relaxed);
        _sequence.store(sequence + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t i = 0; i < WordCount; ++i)
            _words[i].store(words[i], std::memory_order_relaxed);
        _sequence.store(sequence + 2, std::memory_order_release);
    }

    std::atomic<std::uint32_t> _sequence{0};  // odd while a write is under way
    std::atomic<Word> _words[WordCount] = {};
    std::atomic<std::uint32_t> _version{0};
    mutable std::atomic<std::uint32_t> _sleepers{0};
};

}  // namespace Platform
