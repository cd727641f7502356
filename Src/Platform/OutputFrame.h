#pragma once

#include <cstdint>
#include <limits>
#include <type_traits>

namespace Platform {

// Where an event starts on the output: on one output frame, or at once (as soon as possible, not
// tied to a frame: a click of a clock that is not the output's, a reset). One integer, stored and
// handed over as one (also through std::atomic); a frame number converts to it as is.
class OutputFrame {
public:
    // At once.
    constexpr OutputFrame() noexcept = default;
    // On output frame `frame`.
    constexpr OutputFrame(std::int64_t frame) noexcept : _frame(frame) {}  // NOLINT(google-explicit-constructor)

    static constexpr OutputFrame AtOnce() noexcept { return OutputFrame(); }
    constexpr bool IsAtOnce() const noexcept { return _frame == AtOnceValue; }
    // The frame number; meaningful only when not IsAtOnce().
    constexpr std::int64_t Frame() const noexcept { return _frame; }

    friend constexpr bool operator==(OutputFrame, OutputFrame) noexcept = default;

private:
    static constexpr std::int64_t AtOnceValue = std::numeric_limits<std::int64_t>::min();
    std::int64_t _frame = AtOnceValue;
};

static_assert(sizeof(OutputFrame) == sizeof(std::int64_t) && std::is_trivially_copyable_v<OutputFrame>);

}  // namespace Platform
