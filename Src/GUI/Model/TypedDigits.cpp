#include "GUI/Model/TypedDigits.h"

namespace GUI {

TypedDigits::Result TypedDigits::Enter(int digit, bool playing) noexcept
{
    if (digit < 0 || digit > 9)
        return {0, false, !Empty()};
    _deferred = 0;
    if (_first < 0) {
        _first = digit;
        return {0, false, true};
    }
    if (_second < 0) {
        _second = digit;
        const int value = _first * 10 + _second;
        // The digits stay, so that a third one can follow.
        if (value < 10)
            return {0, false, true};
        if (playing && _first <= 4) {
            _deferred = value;
            return {0, true, true};
        }
        return {value, false, true};
    }
    if (_first > 4) {
        // A third digit would pass 400: this digit starts a new number.
        _first = digit;
        _second = -1;
        return {0, false, true};
    }
    _third = digit;
    const int value = _first * 100 + _second * 10 + _third;
    Clear();
    if (value < 10)
        return {0, false, false};
    return {value > 400 ? 400 : value, false, false};
}

std::int32_t TypedDigits::TakeDeferred() noexcept
{
    const std::int32_t tempo = _deferred;
    _deferred = 0;
    // Two digits and a pause make a whole number: the next digit begins another.
    if (tempo != 0)
        Clear();
    return tempo;
}

void TypedDigits::Clear() noexcept
{
    _first = _second = _third = -1;
}

}  // namespace GUI
