#include "GUI/Model/TypedDigits.h"

namespace GUI {

TypedDigits::Result TypedDigits::Enter(int digit) noexcept
{
    if (digit < 0 || digit > 9)
        return {0, !Empty()};
    if (_first < 0) {
        _first = digit;
        return {0, true};
    }
    if (_second < 0) {
        _second = digit;
        int value = _first * 10 + _second;
        // The digits stay, so that a third one can follow.
        return {value > 10 ? value : 0, true};
    }
    if (_first > 4) {
        // A third digit would pass 400: this digit starts a new number.
        _first = digit;
        _second = -1;
        return {0, true};
    }
    _third = digit;
    int value = _first * 100 + _second * 10 + _third;
    Clear();
    if (value < 10)
        return {0, false};
    return {value > 400 ? 400 : value, false};
}

void TypedDigits::Clear() noexcept
{
    _first = _second = _third = -1;
}

}  // namespace GUI
