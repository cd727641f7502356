#pragma once

#include <cstdint>

namespace GUI {

// Typing a tempo on the digit keys: two digits give a tempo of 10 or more at once, a third digit
// makes a three-digit tempo of at most 400. The owner runs a timer of ExpiryMs, restarted on
// every digit, and calls Clear when it fires, so a pause starts a new number.
//
// While the metronome plays, two digits that a third may still follow (a first digit of 1 to 4)
// are held back instead, so that typing 1, 5, 0 never plays 15 on the way to 150: the owner
// starts a timer of DeferMs and, when it fires, plays TakeDeferred(); a further digit comes first
// and takes its place.
class TypedDigits {
public:
    static constexpr int ExpiryMs = 4000;
    static constexpr int DeferMs = 700;

    struct Result {
        std::int32_t tempo;  // 0: no tempo from this digit
        bool deferred;       // true: the tempo is held back (TakeDeferred); start the DeferMs timer
        bool keepTimer;      // false: the number is complete, stop the expiry timer
    };

    // Takes the digit 0..9.
    Result Enter(int digit, bool playing = false) noexcept;
    void Clear() noexcept;
    bool Empty() const noexcept { return _first < 0; }
    // The tempo held back by the last digit, once, which completes the number; 0 when none (or a
    // digit came since).
    std::int32_t TakeDeferred() noexcept;

private:
    int _first = -1;
    int _second = -1;
    int _third = -1;
    std::int32_t _deferred = 0;
};

}  // namespace GUI
