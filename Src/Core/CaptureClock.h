#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Core {

// When each frame of a capture stream was taken, on the system clock (Platform::Clock), by the
// input's own rate. A device's sample clock runs off its nominal rate by tens to hundreds of
// parts per million (a sound server's virtual devices by more), which over a minute is
// milliseconds; so the rate is measured, not assumed.
//
// Blocks reach the program late by a varying amount: the server's scheduling, the machine's
// load. The least delayed arrival of each half second lies closest to the device's own pace;
// a line (frame -> time) through those of the last two minutes gives each frame's time. That
// line sits a constant behind the true capture time (the least transport delay), the same for
// a calibration as for a take, so a measured round trip absorbs it.
//
// The least delayed arrival of a half second that lies StepNs or more off the line, where the one
// before lay on it, is a step in delivery or a blip of the machine's load. Two half seconds at the
// same new level are a step (the source was given another latency, a playback stream started and
// the server's block length changed, the machine stalled): the step is taken out of the arrivals
// from there, so times stay continuous and the line keeps its points. A lone half second off the
// line is left out. Fitted through a step, even one of 2 ms, the line would take it for a rate for
// minutes; a device's rate, however far off, moves the least delay by a fraction of StepNs from
// one half second to the next.
//
// One thread feeds and asks; nothing allocates.
class CaptureClock {
public:
    static constexpr double BinSeconds = 0.5;
    static constexpr std::size_t Bins = 240;  // two minutes
    static constexpr double StepNs = 1e6;
    // A stream's first second comes in bursts of what the server held: it only places the line.
    static constexpr double StartSeconds = 1;
    // The line is trusted (Settled) once it spans this long.
    static constexpr double SettleSeconds = 4;

    explicit CaptureClock(double nominalRate = 48000) { Reset(nominalRate); }
    void Reset(double nominalRate) noexcept;

    // `frames` frames of the stream (counted from its first) had arrived at `arrivedAtNs`.
    void Arrived(std::int64_t frames, std::int64_t arrivedAtNs) noexcept;
    // The time frame `frame` was taken at (0 before anything arrived).
    std::int64_t TimeOf(double frame) const noexcept;
    // Frames per second as measured (the nominal rate until there is a line).
    double Rate() const noexcept { return 1e9 / _slope; }
    bool Settled() const noexcept;

private:
    struct Point {
        std::int64_t frame = 0;
        std::int64_t atNs = 0;  // the arrival, less the jumps before it
    };
    void Close() noexcept;  // the current bin's point joins the line (or waits, or is left out)
    void Add(const Point& point) noexcept;
    void Fit() noexcept;
    double Line(double frame) const noexcept;
    // How far an arrival lies after the line (before it: negative).
    double Delay(const Point& point) const noexcept;

    double _nominal = 48000;
    double _slope = 0;  // ns per frame
    // The line: time = _baseNs + (frame - _baseFrame) * _slope.
    std::int64_t _baseFrame = 0;
    double _baseNs = 0;
    bool _anchored = false;
    std::int64_t _shiftNs = 0;  // the jumps so far, taken out of every arrival

    std::array<Point, Bins> _points{};  // a ring of the bins' least delayed arrivals
    std::size_t _count = 0, _next = 0;
    Point _best{};  // the current bin's least delayed arrival
    // A bin that lay a step off the line, waiting for the next to say whether it was one.
    Point _pending{};
    double _pendingOff = 0;
    bool _hasPending = false;
    bool _binOpen = false;
    std::int64_t _binEndFrame = 0;
};

}  // namespace Core
