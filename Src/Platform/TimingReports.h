#pragma once

#include <cmath>
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

}  // namespace Platform
