#pragma once

#include <cstdint>

namespace Core {

// Turns taps (the Tap button, the 't' key) into a tempo. From the third tap of a series on,
// every tap gives the tempo of the last two intervals. A series ends three to six seconds after
// its last tap: the owner runs OnTimeOut every TimeOutIntervalMs while SeriesActive().
// Ctrl held at the tap doubles the tempo, Shift halves it.
class TapTempo {
public:
    // Where the time comes from: nanoseconds of a monotonic clock.
    using ClockFunction = std::int64_t (*)() noexcept;
    // Which of the modifier keys are held right now (bits below).
    using HeldKeysFunction = unsigned (*)() noexcept;
    static constexpr unsigned CtrlHeld = 1;
    static constexpr unsigned ShiftHeld = 2;

    static constexpr int MaximumTaps = 9;
    static constexpr int TimeOutIntervalMs = 3000;
    static constexpr std::int32_t MinimumTempo = 10;
    static constexpr std::int32_t MaximumTempo = 400;

    // Without a clock the monotonic clock is used; without a key reader no key counts as held.
    explicit TapTempo(ClockFunction clock = nullptr, HeldKeysFunction heldKeys = nullptr) noexcept;
    virtual ~TapTempo();
    TapTempo(const TapTempo&) = delete;
    TapTempo& operator=(const TapTempo&) = delete;

    // One tap: the tempo in beats per minute, or 0 while the series has no tempo yet.
    std::int32_t Tap() noexcept;
    // The series' time-out: ends the series when its last tap is three seconds old or more.
    // True when it ended the series (the owner then stops its repeating timer).
    bool OnTimeOut() noexcept;
    bool SeriesActive() const noexcept { return _seriesActive; }
    // Forgets the series at once.
    void EndSeries() noexcept;

    int TapCount() const noexcept { return _tapCount; }

private:
    std::int32_t Estimate(int first, int last) const noexcept;

    ClockFunction _clock;
    HeldKeysFunction _heldKeys;
    double _frequency;
    std::int64_t _tapTimes[MaximumTaps] = {};
    int _tapCount = 0;
    bool _seriesActive = false;
};

}  // namespace Core
