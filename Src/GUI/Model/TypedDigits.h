#pragma once

#include <cstdint>

namespace GUI {

// Typing a tempo on the digit keys: two digits give a tempo above 10 at once, a third digit
// makes a three-digit tempo of at most 400. The owner runs a timer of ExpiryMs, restarted on
// every digit, and calls Clear when it fires, so a pause starts a new number.
class TypedDigits {
public:
    static constexpr int ExpiryMs = 4000;

    struct Result {
        std::int32_t tempo;  // 0: no tempo from this digit
        bool keepTimer;      // false: the number is complete, stop the expiry timer
    };

    // Takes the digit 0..9.
    Result Enter(int digit) noexcept;
    void Clear() noexcept;
    bool Empty() const noexcept { return _first < 0; }

private:
    int _first = -1;
    int _second = -1;
    int _third = -1;
};

}  // namespace GUI
