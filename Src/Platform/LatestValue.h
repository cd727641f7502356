#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

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
        _version.fetch_add(1, std::memory_order_release);
        _version.notify_all();
    }
    // Any thread: wakes the readers waiting in WaitForNewer without a new value (to stop them).
    void Wake() noexcept
    {
        _version.fetch_add(1, std::memory_order_release);
        _version.notify_all();
    }

    // Any thread. Changes with each write (and each Wake); the value read after it is at least
    // as new as the write that set it.
    std::uint32_t Version() const noexcept { return _version.load(std::memory_order_acquire); }
    // Sleeps until Version() is no longer `seen`.
    void WaitForNewer(std::uint32_t seen) const noexcept { _version.wait(seen, std::memory_order_acquire); }

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
};

}  // namespace Platform
