#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace Platform {

// A sound server's timing reports of one stream, each as the time (ns of Platform::Clock) the
// stream's frame 0 is heard by it and the time the report was made. A report is taken when it
// lies near the one taken before, allowing for a sink whose clock runs off the system's by a few
// hundred parts per million. One that does not is held: if the next lies near it, the sink's
// timing moved (it stalled, its blocks changed) and both are right; if not, it was one of the
// odd reports (read index and sink delay taken at different moments, up to a block apart) and
// is left out. The first after a start waits for a second the same way.
// One thread; no allocation.
class TimingReports {
public:
    static constexpr double SlackNs = 0.25e6;
    static constexpr double Drift = 400e-6;

    void Take(double zeroHeardNs, std::int64_t atNs) noexcept
    {
        const Report report{zeroHeardNs, atNs};
        const auto near = [&report](const Report& before) {
            const double apart = static_cast<double>(report.at - before.at);
            return before.at != 0 && std::abs(report.zeroHeard - before.zeroHeard) <= SlackNs + Drift * apart;
        };
        if (near(_taken) || near(_held)) {
            _taken = report;
            _held = {};
        } else {
            _held = report;
        }
    }
    void Forget() noexcept { _taken = _held = {}; }
    bool Known() const noexcept { return _taken.at != 0; }
    // When the stream's frame 0 is heard, by the report taken last.
    double ZeroHeard() const noexcept { return _taken.zeroHeard; }

private:
    struct Report {
        double zeroHeard = 0;
        std::int64_t at = 0;
    };
    Report _taken, _held;
};

// The reports of a server that counts a stream's read index a whole quantum at a time, with no
// sink delay beside it (PipeWire's pulse server): a report made late in a quantum places frame 0
// up to a quantum too late, and reports stray by that much from one to the next. None places it
// early, so the lowest of the last three seconds' lie nearest the truth, within what a sink's
// clock drifts from the system's in that time. Reports asked for as the quantum starts (see
// PulseOutput::HeardIn) lie within three tenths of a millisecond of each other; the others (the
// library's own, a start's) lie up to a quantum above them. The report a twentieth of the way
// up from the lowest is taken, so that a lone low one does not move it. A step of the sink's
// timing (another quantum) is followed within the three seconds.
// One thread; no allocation.
class QuantumReports {
public:
    static constexpr std::int64_t WindowNs = 3'000'000'000;
    static constexpr std::size_t Kept = 160;
    // Which of the window's reports, from the lowest: a twentieth of the way up.
    static constexpr double Low = 0.05;

    void Take(double zeroHeardNs, std::int64_t atNs) noexcept
    {
        _reports[_next] = {zeroHeardNs, atNs};
        _next = (_next + 1) % Kept;
        _count = _count < Kept ? _count + 1 : Kept;
        std::size_t inWindow = 0;
        for (std::size_t i = 0; i < _count; ++i) {
            const Report& report = _reports[(_next + Kept - 1 - i) % Kept];
            if (atNs - report.at > WindowNs)
                break;
            _sorted[inWindow++] = report.zeroHeard;
        }
        const auto low = _sorted.begin() + static_cast<std::ptrdiff_t>(Low * static_cast<double>(inWindow));
        std::nth_element(_sorted.begin(), low, _sorted.begin() + static_cast<std::ptrdiff_t>(inWindow));
        _zeroHeard = *low;
    }
    void Forget() noexcept { _count = 0; }
    bool Known() const noexcept { return _count > 0; }
    // When the stream's frame 0 is heard, by the reports of the last three seconds.
    double ZeroHeard() const noexcept { return _zeroHeard; }

private:
    struct Report {
        double zeroHeard = 0;
        std::int64_t at = 0;
    };
    std::array<Report, Kept> _reports{};
    std::array<double, Kept> _sorted{};
    std::size_t _next = 0, _count = 0;
    double _zeroHeard = 0;
};

}  // namespace Platform
