#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace Platform {

// A bounded queue that any number of threads may push to and pop from without a lock: each cell
// carries a sequence number telling whose turn it is (the cell is free for the push of round n
// when it reads n, holds a value for the pop of round n when it reads n + 1). Nothing allocates
// after construction, so the audio callback may pop from it. Capacity is a power of two.
template <typename T, std::size_t Capacity>
class LockFreeQueue {
    static_assert((Capacity & (Capacity - 1)) == 0 && Capacity >= 2, "capacity must be a power of two");
    static_assert(std::is_trivially_copyable_v<T>, "values are copied in and out of the cells");

public:
    LockFreeQueue() noexcept
    {
        for (std::size_t i = 0; i < Capacity; ++i)
            _cells[i].sequence.store(i, std::memory_order_relaxed);
    }
    LockFreeQueue(const LockFreeQueue&) = delete;
    LockFreeQueue& operator=(const LockFreeQueue&) = delete;

    // False when the queue is full.
    bool Push(const T& value) noexcept
    {
        std::size_t position = _tail.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = _cells[position & (Capacity - 1)];
            std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            auto difference = static_cast<std::intptr_t>(sequence) - static_cast<std::intptr_t>(position);
            if (difference == 0) {
                if (_tail.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    cell.value = value;
                    cell.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (difference < 0) {
                return false;
            } else {
                position = _tail.load(std::memory_order_relaxed);
            }
        }
    }

    // False when the queue is empty.
    bool Pop(T& value) noexcept
    {
        std::size_t position = _head.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = _cells[position & (Capacity - 1)];
            std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            auto difference = static_cast<std::intptr_t>(sequence) - static_cast<std::intptr_t>(position + 1);
            if (difference == 0) {
                if (_head.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    value = cell.value;
                    cell.sequence.store(position + Capacity, std::memory_order_release);
                    return true;
                }
            } else if (difference < 0) {
                return false;
            } else {
                position = _head.load(std::memory_order_relaxed);
            }
        }
    }

private:
    struct Cell {
        std::atomic<std::size_t> sequence;
        T value;
    };
    alignas(64) Cell _cells[Capacity];
    alignas(64) std::atomic<std::size_t> _tail{0};
    alignas(64) std::atomic<std::size_t> _head{0};
};

}  // namespace Platform
