#include "Core/CaptureClock.h"

#include <cmath>

namespace Core {

void CaptureClock::Reset(double nominalRate) noexcept
{
    _nominal = nominalRate > 0 ? nominalRate : 48000;
    _slope = 1e9 / _nominal;
    _baseFrame = 0;
    _baseNs = 0;
    _anchored = false;
    _shiftNs = 0;
    _count = 0;
    _next = 0;
    _binOpen = false;
    _hasPending = false;
}

double CaptureClock::Line(double frame) const noexcept
{
    return static_cast<double>(_baseNs) + (frame - static_cast<double>(_baseFrame)) * _slope;
}

double CaptureClock::Delay(const Point& point) const noexcept
{
    return static_cast<double>(point.atNs) - Line(static_cast<double>(point.frame));
}

std::int64_t CaptureClock::TimeOf(double frame) const noexcept
{
    return _anchored ? std::llround(Line(frame)) : 0;
}

bool CaptureClock::Settled() const noexcept
{
    if (_count < 2)
        return false;
    const Point& newest = _points[(_next + Bins - 1) % Bins];
    const Point& oldest = _points[(_next + Bins - _count) % Bins];
    return static_cast<double>(newest.frame - oldest.frame) >= SettleSeconds * _nominal;
}

void CaptureClock::Arrived(std::int64_t frames, std::int64_t arrivedAtNs) noexcept
{
    const Point point{frames, arrivedAtNs - _shiftNs};
    if (!_anchored) {
        _baseFrame = point.frame;
        _baseNs = point.atNs;
        _anchored = true;
    }
    if (static_cast<double>(frames) < StartSeconds * _nominal) {
        if (Delay(point) < 0) {  // the least delayed yet
            _baseFrame = point.frame;
            _baseNs = point.atNs;
        }
        return;
    }
    if (!_binOpen) {
        _best = point;
        _binEndFrame = frames + std::llround(BinSeconds * _nominal);
        _binOpen = true;
    } else if (Delay(point) < Delay(_best)) {
        _best = point;
    }
    if (frames >= _binEndFrame)
        Close();
}

void CaptureClock::Close() noexcept
{
    _binOpen = false;
    const double off = Delay(_best);
    const double before = _count > 0 ? Delay(_points[(_next + Bins - 1) % Bins]) : off;
    if (std::fabs(off - before) < StepNs) {
        _hasPending = false;  // a lone bin off the line before this one: the machine's load
        Add(_best);
        return;
    }
    if (!_hasPending || std::fabs(off - _pendingOff) >= StepNs / 2) {
        _pending = _best;
        _pendingOff = off;
        _hasPending = true;
        return;
    }
    // Everything from the pending bin on arrives this much later (or earlier): taken out of every
    // arrival after, so the frames' times stay continuous and the points before still serve.
    const auto jump = static_cast<std::int64_t>(std::llround((off + _pendingOff) / 2 - before));
    _shiftNs += jump;
    _pending.atNs -= jump;
    _best.atNs -= jump;
    _hasPending = false;
    Add(_pending);
    Add(_best);
}

void CaptureClock::Add(const Point& point) noexcept
{
    _points[_next] = point;
    _next = (_next + 1) % Bins;
    if (_count < Bins)
        ++_count;
    Fit();
}

// Least squares through the points, about the oldest one (the values stay small).
void CaptureClock::Fit() noexcept
{
    const Point& oldest = _points[(_next + Bins - _count) % Bins];
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    double span = 0;
    for (std::size_t i = 0; i < _count; ++i) {
        const Point& p = _points[(_next + Bins - _count + i) % Bins];
        const auto x = static_cast<double>(p.frame - oldest.frame);
        const auto y = static_cast<double>(p.atNs - oldest.atNs);
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
        span = x;
    }
    const auto n = static_cast<double>(_count);
    double slope = _slope;
    // Under a second the points' scatter says little about the rate: keep the one known.
    if (_count >= 2 && span >= _nominal) {
        const double fitted = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        // Further off than any device runs is a bad fit (a stall the bins did not catch).
        if (std::fabs(fitted * _nominal / 1e9 - 1) < 0.01)
            slope = fitted;
    }
    _slope = slope;
    _baseFrame = oldest.frame;
    _baseNs = oldest.atNs + std::llround((sy - slope * sx) / n);
}

}  // namespace Core
