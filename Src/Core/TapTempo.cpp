#include "Core/TapTempo.h"

#include "Platform/Clock.h"

namespace Core {

namespace {

std::int64_t MonotonicNow() noexcept
{
    return Platform::Clock::Now();
}

}  // namespace

TapTempo::TapTempo(ClockFunction clock, HeldKeysFunction heldKeys) noexcept
    : _clock(clock ? clock : &MonotonicNow), _heldKeys(heldKeys), _frequency(Platform::Clock::Frequency)
{
}

TapTempo::~TapTempo()
{
    EndSeries();
}

std::int32_t TapTempo::Tap() noexcept
{
    _seriesActive = true;
    _tapTimes[_tapCount] = _clock();
    ++_tapCount;
    if (_tapCount <= 2)
        return 0;
    std::int32_t tempo = Estimate(_tapCount - 3, _tapCount - 1);
    // The readings are full: start over, so the next two taps give no tempo and the third one does.
    if (_tapCount == MaximumTaps)
        _tapCount = 0;
    return tempo;
}

std::int32_t TapTempo::Estimate(int first, int last) const noexcept
{
    // The mean of the last two intervals, in clock counts.
    std::int64_t counts = (_tapTimes[last] - _tapTimes[first]) / 2;
    std::int32_t tempo = 0;
    if (counts > 0) {
        double perMinute = _frequency * 60.0 / static_cast<double>(counts);
        tempo = perMinute > 1e6 ? 1000000 : static_cast<std::int32_t>(perMinute);
    } else {
        // Two taps on one clock reading: as fast as it gets.
        tempo = MaximumTempo;
    }
    unsigned held = _heldKeys ? _heldKeys() : 0;
    if (held & CtrlHeld)
        tempo *= 2;
    else if (held & ShiftHeld)
        tempo /= 2;
    if (tempo < MinimumTempo)
        return MinimumTempo;
    if (tempo > MaximumTempo)
        return MaximumTempo;
    return tempo;
}

bool TapTempo::OnTimeOut() noexcept
{
    if (_tapCount <= 0 || !_seriesActive)
        return false;
    std::int64_t seconds = static_cast<std::int64_t>((_clock() - _tapTimes[_tapCount - 1]) / _frequency);
    if (seconds < 3)
        return false;
    EndSeries();
    return true;
}

void TapTempo::EndSeries() noexcept
{
    _seriesActive = false;
    _tapCount = 0;
}

}  // namespace Core
